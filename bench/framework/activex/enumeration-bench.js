// A walk over every member (for ... in) of the plug-in's COM script object
// after `expandos` expandos, beside the same walk over a page object of the
// engine's own with as many. `expandos` comes from the file the runner writes
// before this one.
function walkTime(object) {
    var start = new Date().getTime(), seen = 0;
    for (var key in object) seen++;
    return { ms: new Date().getTime() - start, seen: seen };
}
function main() {
    var page = {};
    for (var i = 0; i < expandos; i++) {
        plugin["x" + i] = i;
        page["x" + i] = i;
    }
    var own = walkTime(plugin), anchor = walkTime(page);
    console.log("plug-in object: " + own.seen + " members walked in " + own.ms + " ms");
    console.log("page object: " + anchor.seen + " members walked in " + anchor.ms + " ms");
    // A walk under the clock's resolution counts as 1 ms.
    console.log("ratio activex-enumeration: " + (Math.max(own.ms, 1) / Math.max(anchor.ms, 1)).toFixed(1) +
                " (plug-in object walk / page object walk, " + expandos + " expandos)");
    done(0);
}
