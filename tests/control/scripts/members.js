// The members that do nothing, argument conversion, and script errors.
run(function () {
    var f = new ActiveXObject("Plexhost.FlashX");
    eq(f.SetMute(1), 0, "SetMute");
    eq(f.SetVol(80), 0, "SetVol");
    eq(f.PrintLog(), undefined, "PrintLog");
    eq(f.endstream(), undefined, "endstream");
    f.SetVolCb(recorder());
    f.SetVolCb(3);
    f.SetVolCb(recorder());
    var cap = recorder();
    eq(f.Cap(123, cap), 0, "a number as camera name is converted to text");
    eq(callText(cap), "[0]", "the no-op members changed nothing");
    eq(f.dostop("9"), 0, "dostop converts its argument and ignores it");

    var threw = false;
    try { f.NoSuchMember(); } catch (e) { threw = true; }
    check(threw, "an unknown member is a script error");
    threw = false;
    try { f.Cap(); } catch (e) { threw = true; }
    check(threw, "a missing argument is a script error");
    threw = false;
    try { f.SetVol("loud"); } catch (e) { threw = true; }
    check(threw, "a text that is no number is a script error");
    eq(f.Cap("Camera 1", null), 2, "the control still works after script errors");
});
