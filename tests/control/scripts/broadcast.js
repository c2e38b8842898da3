// A whole broadcast from page script, with every result, callback and log line.
run(function () {
    var f = new ActiveXObject("Plexhost.FlashX");
    var log = recorder();
    f.LogPrintf(log);

    var cap = recorder();
    eq(f.Cap("Camera 1", cap), 0, "Cap returns");
    eq(callText(cap), "[0]", "Cap answers its function");
    var again = recorder();
    eq(f.Cap("Camera 1", again), 2, "second Cap is busy");
    eq(callText(again), "[2]", "second Cap answers 2");

    var ready = recorder();
    eq(f.ISready(ready), 0, "ISready returns");
    eq(ready.calls.length, 1, "ISready calls once");
    eq(ready.calls[0].length, 2, "ISready passes two arguments");
    eq(ready.calls[0][0], "ready", "ISready text first");
    eq(ready.calls[0][1], 0, "ISready 0 second");

    var send = recorder();
    eq(f.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/key", "640x480", "2", send), 0, "sendvideoX returns");
    eq(f.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/key", "640x480", "2", send), 2, "second send is busy");
    eq(callText(send), "[0];[2]", "send results to the send function");

    var stopWhileSending = recorder();
    f.CapStop(stopWhileSending);
    eq(callText(stopWhileSending), "[2]", "CapStop while sending is busy");

    eq(f.dostop(7), 0, "dostop returns 0 whatever stop says");
    f.dostop(0);
    var capStop = recorder();
    f.CapStop(capStop);
    eq(callText(capStop), "[0]", "CapStop after the send stopped");
    eq(f.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/key", "640x480", "2", send), 3, "send without camera");
    eq(callText(send), "[0];[2];[3]", "3 goes to the send function");

    eq(logTails(log), "Cap is succeed|ISready is succeed|sendvideoX is succeed|SendStop is succeed|" +
                      "SendStop is failed|CapStop is succeed", "log lines");
});
