// The whole broadcast through a control, shared by the control pages: results
// come back from the calls, and every callback runs later, from a page timer,
// never inside the call that produced it.
var calls = [];
var inCall = false, calledInside = 0;

function recorder(name) {
    return function () {
        if (inCall) calledInside++;
        var args = [];
        for (var i = 0; i < arguments.length; i++) args.push(arguments[i]);
        calls.push(name + "(" + args.join(",") + ")");
    };
}

function during(call) {
    inCall = true;
    try {
        return call();
    } finally {
        inCall = false;
    }
}

// Broadcasts through control; once the callbacks had time to arrive, checks
// them and calls then().
function broadcast(control, then) {
    // Only the reports the page asks for: the engine's own, one per 200 ms of
    // sending, would come or not by how long the calls take.
    strevo("interval 0");
    expect("ISready", during(function () { return control.ISready(recorder("ready")); }), 0);
    expect("sendvideoX before the camera",
           during(function () { return control.sendvideoX("Mic", "rtmp://127.0.0.1/live/a", "640x480", "2",
                                                           recorder("early")); }), 3);
    expect("Cap", during(function () { return control.Cap("Camera 1", recorder("cap")); }), 0);
    expect("sendvideoX", during(function () { return control.sendvideoX("Mic", "rtmp://127.0.0.1/live/a", "640x480",
                                                                       "2", recorder("send")); }), 0);
    control.SetVolCb(recorder("volume"));
    during(function () { for (var level = 1; level <= 5; level++) control.TestVolCb(level * 10); });
    expect("dostop", control.dostop(0), 0);
    during(function () { control.CapStop(recorder("capstop")); });
    expect("nothing called back inside a call", calledInside, 0);
    expect("nothing called back yet", calls.length, 0);
    setTimeout(function () {
        expect("callbacks in order", calls.join(" ").replace(/^ready\([^)]*\)/, "ready"),
               "ready early(3) cap(0) send(0) volume(10) volume(20) volume(30) volume(40) volume(50) capstop(0)");
        expect("the ready callback's result", /,0\)$/.test(calls[0] || ""), true);
        then();
    }, 600);
}
