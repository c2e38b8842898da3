// Late-bound calls from JScript: Plexhost's ISready and Cap beside a trivial
// native automation object (Scripting.Dictionary's Count) in the same run.
// SetMute and SetVol show the cost of a call alone and of one debug print.
var n = WScript.Arguments.length > 0 ? parseInt(WScript.Arguments(0), 10) : 20000;
function perCall(body) {
    var start = new Date().getTime();
    body();
    return (new Date().getTime() - start) * 1000 / n;
}
var code = 0;
try {
    var flash = new ActiveXObject("Plexhost.FlashX");
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    var loop = perCall(function () { for (var i = 0; i < n; i++) {} });
    var count = perCall(function () { var c; for (var i = 0; i < n; i++) c = dictionary.Count; });
    var ready = perCall(function () { for (var i = 0; i < n; i++) flash.ISready(null); });
    var mute = perCall(function () { for (var i = 0; i < n; i++) flash.SetMute(0); });
    var vol = perCall(function () { for (var i = 0; i < n; i++) flash.SetVol(50); });
    flash.Cap("Camera 1", null);
    var cap = perCall(function () { for (var i = 0; i < n; i++) flash.Cap("Camera 1", null); });
    function line(name, us) {
        WScript.Echo(name + ": " + (us - loop).toFixed(2) + " us per call (" +
                     ((us - loop) / (count - loop)).toFixed(2) + "x the dictionary)");
    }
    WScript.Echo(n + " calls each, empty loop " + loop.toFixed(3) + " us per turn (subtracted)");
    line("Scripting.Dictionary.Count", count);
    line("Plexhost ISready(null)", ready);
    line("Plexhost SetMute(0) [does nothing]", mute);
    line("Plexhost SetVol(50) [one debug print]", vol);
    line("Plexhost Cap(name, null) [camera on: answers 2, one debug print]", cap);
    WScript.Echo("ratio plexhost-call: " + ((ready - loop) / (count - loop)).toFixed(2) +
                 " (Plexhost ISready(null) / Scripting.Dictionary.Count)");
    flash = null;
    CollectGarbage();
} catch (e) {
    WScript.Echo("script error: " + e.message);
    code = 1;
}
WScript.Quit(code);
