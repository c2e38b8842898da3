// A script host's page through the plug-in library's ActiveX control: the
// control created by its ProgID, its members called and what comes back shown.
// A script host has no page window, so results come back from the calls
// themselves and no callback arrives.
function show(text) { WScript.Echo("  " + text); }
function quoted(value) { return typeof value === "string" ? '"' + value + '"' : String(value); }
var code = 0;
try {
    var plugin = new ActiveXObject("VQuorvanMG.parvelplugin");
    show('new ActiveXObject("VQuorvanMG.parvelplugin"): created');
    show("version -> " + quoted(plugin.version));
    show("echo(5) -> " + quoted(plugin.echo(5)));
    plugin.testString = "hello from the page";
    show("testString -> " + quoted(plugin.testString));
    show("ISready(null) -> " + plugin.ISready(null));
    show("sendvideoX before the camera -> " +
         plugin.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/demo", "640x480", "2", null));
    show('Cap("Camera 1") -> ' + plugin.Cap("Camera 1", null));
    show("sendvideoX -> " + plugin.sendvideoX("Microphone 1", "rtmp://127.0.0.1/live/demo", "640x480", "2", null));
    show("dostop(0) -> " + plugin.dostop(0));
    plugin.CapStop(null);
    show("CapStop(null): camera stopped");
    try {
        plugin.echo(1, 2);
    } catch (e) {
        show("echo(1, 2) -> script error: " + quoted(e.description));
    }
    show("getLastException() -> " + quoted(plugin.getLastException()));
    plugin = null;
    CollectGarbage();
} catch (e) {
    show("script error: " + e.message);
    code = 1;
}
WScript.Quit(code);
