// Expectations shared by the pages: each failed one is printed, and finish()
// ends the page with code 0 when all held, else 1.
var failures = 0;
function expect(name, actual, expected) {
    if (actual === expected) return;
    failures++;
    console.log("FAILED " + name + ": got [" + actual + "] (" + typeof actual + "), expected [" + expected + "]");
}
// The script error a call raises, as "number description" (number in hex), or "none".
function errorOf(call) {
    try {
        call();
    } catch (e) {
        return (e.number >>> 0).toString(16) + " " + e.description;
    }
    return "none";
}
function finish() {
    console.log(failures ? failures + " expectation(s) failed" : "all expectations held");
    done(failures ? 1 : 0);
}
