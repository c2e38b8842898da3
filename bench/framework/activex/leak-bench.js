// Members of the plug-in's COM script object read as values and dropped, each
// read making its function object and COM wrapper anew: reads per KB that the
// process's heap keeps (heapBytes() of the page host), beside the same reads of
// a page object's member. `reads` comes from the file the runner writes before
// this one.
function heapKept(read) {
    for (var i = 0; i < 100; i++) read();
    CollectGarbage();
    var before = heapBytes();
    for (var i = 0; i < reads; i++) read();
    CollectGarbage();
    return Math.max(heapBytes() - before, 0) / 1024;
}
function main() {
    var names = ["echo", "attachEvent", "getLastException", "toString"], kept = 0;
    for (var n = 0; n < names.length; n++) {
        var name = names[n];
        var kb = heapKept(function () { var value = plugin[name]; value = null; });
        console.log("plugin." + name + ": " + reads + " reads, " + kb.toFixed(1) + " KB kept");
        kept += kb;
    }
    var page = { member: function () {} };
    var anchor = heapKept(function () { var value = page.member; value = null; });
    console.log("page object member: " + reads + " reads, " + anchor.toFixed(1) + " KB kept");
    // Less than 1 KB kept counts as 1 KB: the figure is then a lower bound.
    console.log("ratio activex-leak: " + Math.round(names.length * reads / Math.max(kept, 1)) +
                " (plug-in member reads / KB kept, at least 1 KB)");
    done(0);
}
