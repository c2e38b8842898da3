// A page with the plug-in library's ActiveX control in its object tag (the page
// host embeds it as `plugin`, with the parameter onload=pageLoaded): it
// broadcasts and shows every callback as it arrives from a page timer.
function show(text) { console.log("    " + text); }
function answer(name) {
    return function () {
        var args = [];
        for (var i = 0; i < arguments.length; i++)
            args.push(typeof arguments[i] === "string" ? '"' + arguments[i] + '"' : arguments[i]);
        show(name + " callback(" + args.join(", ") + ")");
    };
}
function pageLoaded(api) {
    show("onload(plug-in " + api.version + ")");
}
// The page host's engine keeps script globals off the window; a browser's would not.
window.pageLoaded = pageLoaded;

function main() {
    show("ISready -> " + plugin.ISready(answer("ISready")));
    show('Cap("Camera 1") -> ' + plugin.Cap("Camera 1", answer("Cap")));
    show("sendvideoX -> " + plugin.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/demo", "640x480", "2",
                                              answer("sendvideoX")));
    plugin.SetVolCb(answer("volume"));
    plugin.TestVolCb(42);
    show("dostop -> " + plugin.dostop(0));
    plugin.CapStop(answer("CapStop"));
    show("(the calls have returned; the callbacks follow from page timers)");
    setTimeout(function () {
        plugin.SetVolCb(null);
        done(0);
    }, 600);
}
