// A broadcast from page script through the plug-in's COM script object in the
// page host: each command's result at once, each callback later from a page
// timer, the engine's volume reports, and an "onecho" handler.
var pending = 0;
function show(tag) {
    pending++;
    return function () {
        var args = [];
        for (var i = 0; i < arguments.length; i++) args.push(arguments[i]);
        console.log("  page callback " + tag + "(" + args.join(", ") + ")");
        pending--;
    };
}
function main() {
    console.log("  plugin.version = " + plugin.version);
    plugin.attachEvent("onecho", show("onecho"));
    console.log("  plugin.echo('hello') returned " + plugin.echo("hello"));
    plugin.LogPrintf(function (line) { console.log("  log: " + line); });
    console.log("  ISready returned " + plugin.ISready(show("ready")));
    console.log("  Cap returned " + plugin.Cap("Integrated Camera", show("cap")));
    console.log("  sendvideoX returned " +
                plugin.sendvideoX("Microphone", "rtmp://127.0.0.1/live/demo", "640x480", "5", show("send")));
    plugin.SetVolCb(show("volume"));
    pending--;  // the volume function is called once per report
    strevo("report 42");
    console.log("  dostop returned " + plugin.dostop(0));
    console.log("  CapStop returned " + plugin.CapStop(show("capstop")));
    console.log("  (every call has returned; the callbacks follow)");
    (function wait() {
        if (pending > 0) return setTimeout(wait, 20);
        setTimeout(function () { done(0); }, 100);
    })();
}
