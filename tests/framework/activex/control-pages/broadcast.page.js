// The embedded control (run with --param onload=pageLoaded): the ready step
// told the page once, "onload" ran once about 250 ms after it with the plug-in
// object, and the whole broadcast with its callbacks.
var loads = [];
var embeddedAt = new Date().getTime();

function pageLoaded(api) {
    loads.push({ at: new Date().getTime(), version: api.version });
}
// In a browser a global function is a property of the window; the page host's
// engine keeps its globals apart, so the page puts the handler there itself.
window.pageLoaded = pageLoaded;

function main() {
    expect("OnChanged(-525) from the ready step", controlReadyChanges(), 1);
    expect("DISPID -525 (ready state)", controlReadyState(), 4);
    broadcast(plugin, function () {
        expect("onload ran once", loads.length, 1);
        if (loads.length) {
            var after = loads[0].at - embeddedAt;
            expect("onload about 250 ms after ready (" + after + " ms)", after >= 200 && after < 2000, true);
            expect("onload got the plug-in object", loads[0].version, "1.0.0.0");
        }
        expect("OnChanged(-525) still once", controlReadyChanges(), 1);
        finish();
    });
}
