// Late-bound calls from JScript through the plug-in library's ActiveX control
// (IDispatchEx, members resolved by name), beside a trivial native automation
// object (Scripting.Dictionary's Count) and Plexhost's typed dispatch in the
// same run.
var n = WScript.Arguments.length > 0 ? parseInt(WScript.Arguments(0), 10) : 20000;
function perCall(body) {
    var start = new Date().getTime();
    body();
    return (new Date().getTime() - start) * 1000 / n;
}
var code = 0;
try {
    var plugin = new ActiveXObject("VQuorvanMG.parvelplugin");
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    var flash = new ActiveXObject("Plexhost.FlashX");
    var loop = perCall(function () { for (var i = 0; i < n; i++) {} });
    var count = perCall(function () { var c; for (var i = 0; i < n; i++) c = dictionary.Count; });
    var ready = perCall(function () { for (var i = 0; i < n; i++) plugin.ISready(null); });
    var echo = perCall(function () { for (var i = 0; i < n; i++) plugin.echo(1); });
    var plexhost = perCall(function () { for (var i = 0; i < n; i++) flash.ISready(null); });
    function line(name, us) {
        WScript.Echo(name + ": " + (us - loop).toFixed(2) + " us per call (" +
                     ((us - loop) / (count - loop)).toFixed(2) + "x the dictionary, " +
                     ((us - loop) / (plexhost - loop)).toFixed(2) + "x Plexhost)");
    }
    WScript.Echo(n + " calls each, empty loop " + loop.toFixed(3) + " us per turn (subtracted)");
    line("Scripting.Dictionary.Count", count);
    line("Plexhost ISready(null)", plexhost);
    line("control ISready(null)", ready);
    line("control echo(1)", echo);
    WScript.Echo("ratio activex-control-call: " + ((ready - loop) / (count - loop)).toFixed(2) +
                 " (control ISready(null) / Scripting.Dictionary.Count)");
    plugin = null;
    flash = null;
    CollectGarbage();
} catch (e) {
    WScript.Echo("script error: " + e.message);
    code = 1;
}
WScript.Quit(code);
