// Calls from page script through the plug-in's COM script object in the page
// host (IDispatchEx, members resolved by name), beside a bare IDispatchEx
// object of the page (bare.nop()) and Scripting.Dictionary's Count in the same
// run. `calls` comes from the file the runner writes before this one.
function perCall(body) {
    var start = new Date().getTime();
    body();
    return (new Date().getTime() - start) * 1000 / calls;
}
function main() {
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    var loop = perCall(function () { for (var i = 0; i < calls; i++) {} });
    var nop = perCall(function () { for (var i = 0; i < calls; i++) bare.nop(); });
    var count = perCall(function () { var c; for (var i = 0; i < calls; i++) c = dictionary.Count; });
    var ready = perCall(function () { for (var i = 0; i < calls; i++) plugin.ISready(null); });
    var echo = perCall(function () { for (var i = 0; i < calls; i++) plugin.echo(1); });
    function line(name, us) {
        console.log(name + ": " + (us - loop).toFixed(2) + " us per call (" +
                    ((us - loop) / (nop - loop)).toFixed(2) + "x the bare object, " +
                    ((us - loop) / (count - loop)).toFixed(2) + "x the dictionary)");
    }
    console.log(calls + " calls each, empty loop " + loop.toFixed(3) + " us per turn (subtracted)");
    line("bare IDispatchEx nop()", nop);
    line("Scripting.Dictionary.Count", count);
    line("plugin ISready(null)", ready);
    line("plugin echo(1)", echo);
    console.log("ratio activex-call: " + ((ready - loop) / (count - loop)).toFixed(2) +
                " (plugin ISready(null) / Scripting.Dictionary.Count)");
    // The callbacks ISready queued run before the page ends.
    setTimeout(function () { done(0); }, 0);
}
