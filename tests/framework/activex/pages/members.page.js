// The plug-in's scripting object seen by page script through IDispatchEx:
// calls, properties, errors with their texts, the built-ins, method objects and
// enumeration. Everything here is synchronous.
function main() {
    expect("echo", plugin.echo(5), 5);
    expect("too many arguments", errorOf(function () { plugin.echo(1, 2, 3); }),
           "80004001 Too many arguments, expected 1.");
    expect("last exception", plugin.getLastException(), "Too many arguments, expected 1.");
    expect("missing argument", errorOf(function () { plugin.sendvideoX("Microphone"); }),
           "80004001 Error: Argument 5is not optional.");
    expect("last exception after", plugin.getLastException(), "Error: Argument 5is not optional.");

    plugin.version = "2.0";
    expect("version is read-only", plugin.version, "1.0.0.0");
    // Wine's engine calls p.version() as a plain method call (no property read with it).
    expect("version called", errorOf(function () { return plugin.version(); }), "80020003 ");
    var text = "caf\u00e9 \u4e2d\u6587 \ud83c\udfa5";
    plugin.testString = text;
    expect("testString round trip", plugin.testString, text);

    expect("unknown call", errorOf(function () { plugin.nosuch(); }), "80020003 ");
    expect("unknown call's last exception", plugin.getLastException(),
           "The specified member does not exist: Invalid method or property name");
    expect("unknown read", typeof plugin.nosuch, "undefined");
    expect("attachEvent with one argument", errorOf(function () { plugin.attachEvent("onecho"); }),
           "80004001 Invalid Arguments");

    var f = plugin.echo;
    expect("method object as a value", f(7), 7);
    expect("method object through call", f.call(plugin, 6), 6);
    expect("method object through apply", f.apply(plugin, [4]), 4);
    expect("one method object", plugin.echo === plugin.echo, true);
    var list = [1, 2, 3];
    expect("page object comes back as itself", plugin.echo(list), list);
    var map = {a: 1};
    expect("page map comes back as itself", plugin.echo(map), map);

    var names = [];
    for (var name in plugin) names.push(name);
    expect("enumeration", names.join(),
           "Cap,CapStop,ISready,LogPrintf,SetVolCb,TestVolCb,dostop,echo,getAttribute,sendvideoX,setAttribute," +
           "testEvent,testString,toString,valid,value,version,attachEvent,detachEvent,getLastException");
    var a = plugin.attachEvent;
    expect("built-in function objects", typeof a, "object");
    finish();
}
