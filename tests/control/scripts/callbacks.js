// Which argument counts as a callback, which callback is kept, refusals and
// callbacks that fail.
run(function () {
    // A number instead of a function: the command still runs, nobody is called.
    var f = new ActiveXObject("Plexhost.FlashX");
    eq(f.Cap("Camera 1", 5), 0, "Cap with a number starts the camera");
    eq(f.Cap("Camera 1", "text"), 2, "the camera is on");
    eq(f.ISready(null), 0, "ISready without a function");

    // sendvideoX answers to the function kept from an earlier call.
    var g = new ActiveXObject("Plexhost.FlashX");
    var first = recorder(), second = recorder();
    eq(g.sendvideoX("mic", "rtmp://h/a", "320x240", "1", first), 3, "no camera");
    eq(g.sendvideoX("mic", "rtmp://h/a", "320x240", "1", 7), 3, "no camera, no function");
    eq(g.sendvideoX("mic", "rtmp://h/a", "320x240", "1", null), 3, "no camera, null");
    eq(callText(first), "[3];[3];[3]", "the earlier function is answered");
    g.sendvideoX("mic", "rtmp://h/a", "320x240", "1", second);
    eq(callText(second), "[3]", "a new function replaces it");
    eq(first.calls.length, 3, "the old one is not called again");

    // Logging: nothing before LogPrintf; a non-function keeps the earlier function.
    var h = new ActiveXObject("Plexhost.FlashX");
    var log = recorder();
    h.Cap("", null); // refused before logging was on
    h.LogPrintf(log);
    h.LogPrintf(42);
    eq(h.Cap("", null), 1, "empty camera name is refused");
    eq(h.Cap("Camera 1", null), 0, "Cap after a refusal calls the engine again");
    eq(h.sendvideoX("mic", "http://not-rtmp/", "640x480", "1", null), 1, "refused send");
    eq(h.sendvideoX("mic", "rtmp://h/live", "640x480", "1", null), 0, "send may be repeated");
    eq(logTails(log), "Cap is failed|Cap is succeed|sendvideoX is failed|sendvideoX is succeed", "log lines");

    // Logging turned on without any function: commands run, nothing breaks.
    var k = new ActiveXObject("Plexhost.FlashX");
    k.LogPrintf("not a function");
    eq(k.Cap("Camera 1", null), 0, "Cap with logging but no log function");

    // A function that throws changes nothing.
    var m = new ActiveXObject("Plexhost.FlashX");
    m.LogPrintf(thrower());
    eq(m.Cap("Camera 1", thrower()), 0, "Cap with a throwing function");
    eq(m.Cap("Camera 1", null), 2, "the camera started all the same");
    var ready = recorder();
    m.ISready(ready);
    eq(callText(ready), "[ready,0]", "later calls still work");
});
