// Put before each script the tests run under cscript against a registered
// control: checks, call recorders and the exit code. Wine's cscript exits 0 on
// an uncaught error, so run() catches everything.
var failures = 0, checks = 0;

function check(condition, what) {
    checks++;
    if (!condition) {
        failures++;
        WScript.Echo("FAIL: " + what);
    }
}

function eq(actual, expected, what) {
    check(actual === expected, what + ": expected " + expected + " (" + typeof expected + "), got " + actual +
          " (" + typeof actual + ")");
}

// A page function that records the arguments of every call.
function recorder() {
    var calls = [];
    var f = function () {
        var args = [];
        for (var i = 0; i < arguments.length; i++)
            args.push(arguments[i]);
        calls.push(args);
    };
    f.calls = calls;
    return f;
}

// A page function that throws. Like recorder(), made outside the test body: a
// function made inside would hold the body's controls, and a control that keeps
// such a function is a cycle that no collector can break.
function thrower() {
    return function () { throw new Error("page gone"); };
}

// The calls of a recorder as text, e.g. "[0];[2]".
function callText(f) {
    var parts = [];
    for (var i = 0; i < f.calls.length; i++)
        parts.push("[" + f.calls[i].join(",") + "]");
    return parts.join(";");
}

// "<Y-M-D h:m:s>" with no field padded, then the text.
function isLogLine(line, text) {
    var m = /^<(\d+)-(\d+)-(\d+) (\d+):(\d+):(\d+)>(.*)$/.exec(line);
    if (!m || m[7] !== text)
        return false;
    for (var i = 1; i <= 6; i++) {
        if (m[i].length > 1 && m[i].charAt(0) === "0")
            return false;
    }
    return true;
}

function logTails(log) {
    var tails = [];
    for (var i = 0; i < log.calls.length; i++) {
        var line = log.calls[i][0];
        var m = /^<[^>]*>(.*)$/.exec(line);
        tails.push(m && isLogLine(line, m[1]) ? m[1] : "BAD:" + line);
    }
    return tails.join("|");
}

function run(body) {
    try {
        body();
        // Release the controls before the process exits.
        CollectGarbage();
    } catch (e) {
        failures++;
        WScript.Echo("FAIL: uncaught " + e.message + " (0x" + (e.number >>> 0).toString(16) + ")");
    }
    WScript.Echo(checks + " checks, " + failures + " failed");
    WScript.Quit(failures ? 1 : 0);
}
