// A page that broadcasts through the Plexhost control and shows what it sees.
function show(text) { WScript.Echo("  " + text); }
function answer(name) {
    return function () {
        var args = [];
        for (var i = 0; i < arguments.length; i++)
            args.push(typeof arguments[i] === "string" ? '"' + arguments[i] + '"' : arguments[i]);
        show("    " + name + " callback(" + args.join(", ") + ")");
    };
}
var code = 0;
try {
    var flash = new ActiveXObject("Plexhost.FlashX");
    show('new ActiveXObject("Plexhost.FlashX"): created');
    flash.LogPrintf(function (line) { show("    log: " + line); });
    show("ISready -> " + flash.ISready(answer("ISready")));
    show('sendvideoX before the camera -> ' +
         flash.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/demo", "640x480", "2", answer("send")));
    show('Cap("Camera 1") -> ' + flash.Cap("Camera 1", answer("Cap")));
    show('sendvideoX("rtmp://127.0.0.1/live/demo") -> ' +
         flash.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/demo", "640x480", "2", answer("send")));
    show("CapStop while sending:");
    flash.CapStop(answer("CapStop"));
    show("dostop -> " + flash.dostop(0));
    show("CapStop:");
    flash.CapStop(answer("CapStop"));
    flash = null;
    CollectGarbage();
} catch (e) {
    show("script error: " + e.message);
    code = 1;
}
WScript.Quit(code);
