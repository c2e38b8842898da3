// A whole broadcast from page script: every command returns first, each
// callback runs later from a page timer on the main thread, in order; volume
// reports from the engine's thread reach their function in order; "onecho"
// handlers attached with attachEvent run until detached (echo fires "onecho"
// with a fixed text and the count of earlier echoes).
var log = [];
var clicked = "So far, you clicked this many times: ";
function note(tag) {
    return function (text, code) {
        log.push(tag + ":" + text + (arguments.length > 1 ? "," + code : ""));
    };
}

// Runs check once the log holds count entries (or fails after a while).
function whenLogged(count, check) {
    var tries = 0;
    (function poll() {
        if (log.length >= count) return check();
        if (++tries > 200) {
            expect("log entries", log.join(" | "), count + " entries");
            return finish();
        }
        setTimeout(poll, 10);
    })();
}

function main() {
    strevo("clear");
    strevo("interval 0");
    var returned = [];
    returned.push(plugin.ISready(note("ready")));
    returned.push(plugin.sendvideoX("Microphone", "rtmp://127.0.0.1/live/t", "640x480", "5", note("early")));
    returned.push(plugin.Cap("Integrated Camera", note("cap")));
    returned.push(plugin.sendvideoX("Microphone", "rtmp://127.0.0.1/live/t", "640x480", "5", note("send")));
    returned.push(plugin.dostop(0));
    returned.push(plugin.CapStop(note("capstop")));
    expect("results first", returned.join(), "0,3,0,0,0,0");
    expect("no callback inside a call", log.length, 0);
    whenLogged(5, volume);
}

function volume() {
    expect("callbacks later and in order", log.join(" | "),
           "ready:ready,0 | early:3 | cap:0 | send:0 | capstop:0");
    log = [];
    plugin.SetVolCb(note("vol"));
    strevo("report 12");
    strevo("report 48");
    strevo("report 31");
    whenLogged(3, events);
}

function events() {
    expect("volume reports in order", log.join(" | "), "vol:12 | vol:48 | vol:31");
    log = [];
    var handler = note("onecho");
    plugin.attachEvent("onecho", handler);
    plugin.attachEvent("onecho", handler);
    plugin.attachEvent("onecho", note("second"));
    plugin.echo("hello");
    expect("handlers later", log.length, 0);
    whenLogged(2, function () {
        setTimeout(function () {
            expect("each handler once", log.sort().join(" | "), "onecho:" + clicked + ",0 | second:" + clicked + ",0");
            log = [];
            plugin.detachEvent("onecho", handler);
            plugin.echo("again");
            whenLogged(1, function () {
                setTimeout(function () {
                    expect("detached handler stops", log.join(" | "), "second:" + clicked + ",1");
                    finish();
                }, 50);
            });
        }, 50);
    });
}
