// The registered control created by its ProgID under cscript: a script host
// without a page, so members answer at once and no callback can arrive. Runs
// after tests/support/cscript-harness.js (checks and the exit code).
function main() {
    var plugin = new ActiveXObject("VQuorvanMG.parvelplugin");
    eq(plugin.echo(5), 5, "echo(5)");
    eq(plugin.echo("text"), "text", "echo of a text");
    eq(plugin.version, "1.0.0.0", "version");
    plugin.testString = "round trip";
    eq(plugin.testString, "round trip", "testString");

    var description = null;
    try {
        plugin.echo(1, 2);
    } catch (e) {
        description = e.description;
    }
    eq(description, "Too many arguments, expected 1.", "the script error of a call with too many arguments");
    eq(plugin.getLastException(), "Too many arguments, expected 1.", "getLastException()");

    var called = 0;
    eq(plugin.Cap("Integrated Camera", function () { called++; }), 0, "Cap");
    eq(called, 0, "no page: the callback does not run inside the call");
    plugin.CapStop(null);

    var second = new ActiveXObject("VQuorvanMG.parvelplugin.1");
    eq(second.echo("second"), "second", "a second control by the versioned ProgID");
    plugin = null;
    second = null;
    CollectGarbage();
}

run(main);
