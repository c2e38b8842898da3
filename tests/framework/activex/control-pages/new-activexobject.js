// Page script making a control of its own by ProgID: the control gets the
// page's browser through its site, and the same broadcast works with every
// callback.
function main() {
    var made = new ActiveXObject("VQuorvanMG.parvelplugin");
    expect("a second control", made.echo("second"), "second");
    broadcast(made, function () {
        // Nobody takes this control's site back (a script host does not), so the
        // page lets go of the volume callback that holds it: the callback's scope
        // holds the control, and the control the callback.
        made.SetVolCb(null);
        made = null;
        CollectGarbage();
        finish();
    });
}
