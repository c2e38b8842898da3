#!/bin/bash
# The audio library on real sound devices: Wine's PulseAudio driver against a
# private PulseAudio daemon that this test starts and stops. A 1 kHz sine whose
# amplitude alternates between 8000 and 24000 is played into a null sink whose
# monitor is the default source (the microphone); the default sink is a second
# null sink (the speaker), recorded from its monitor.
#  - device listing sees the server's devices;
#  - in each capture mode the frames handed to the sink, decoded by Debian's
#    faad, are a 1 kHz sine at both amplitudes, and the capture levels follow
#    the amplitude (24 and 73);
#  - end to end (capture -> AAC -> RTP -> a second peer's stream -> decode ->
#    playback) the recorded speaker carries the same sine, in stereo also when
#    the stream's first packet is no AAC frame; muted, the stream's playback
#    level is 0; payload type switches reopen the output each time;
#  - sinks that call back into their peers (SetMute from the level report,
#    InputPacket from the frame report) while streams come and go never hang
#    the process (the probe's watchdog ends it after 20 s without progress).
set -euo pipefail
: "${WINE_RUN:?}" "${BUILD_DIR:?}"
for tool in pulseaudio pactl pacat parec faad python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

work=$(mktemp -d /tmp/sondex-devices.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/run" "$work/state"
socket=$work/native
server=unix:$socket
XDG_RUNTIME_DIR=$work/run HOME=$work PULSE_STATE_PATH=$work/state PULSE_RUNTIME_PATH=$work/run \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --use-pid-file=no \
  -L "module-native-protocol-unix socket=$socket auth-anonymous=1" \
  -L "module-null-sink sink_name=mic rate=44100 channels=2 sink_properties=device.description=Microphone" \
  -L "module-null-sink sink_name=speaker rate=44100 channels=2 sink_properties=device.description=Speaker" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do pactl -s "$server" info >/dev/null 2>&1 && break; sleep 0.1; done
pactl -s "$server" info >/dev/null || { cat "$work/pulse.log"; exit 1; }
pactl -s "$server" set-default-source mic.monitor
pactl -s "$server" set-default-sink speaker

python3 - "$work/sine.raw" <<'PY'
import math, struct, sys
# 60 s of stereo s16le: 1 kHz, amplitude 8000 and 24000 alternating every 1.5 s.
frames = bytearray()
for i in range(44100 * 60):
    amplitude = 8000 if (i // 66150) % 2 == 0 else 24000
    v = int(round(amplitude * math.sin(2 * math.pi * 1000 * i / 44100)))
    frames += struct.pack('<hh', v, v)
open(sys.argv[1], 'wb').write(frames)
PY
pacat -s "$server" --device=mic --raw --format=s16le --rate=44100 --channels=2 "$work/sine.raw" &
pids+=($!)
parec -s "$server" --device=speaker.monitor --raw --format=s16le --rate=44100 --channels=2 >"$work/speaker.raw" &
pids+=($!)

export PULSE_SERVER=$server
probe=$BUILD_DIR/bin/sondex_probe.exe
failures=0
check() { # what, command...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

"$WINE_RUN" "$probe" list 2>/dev/null | tr -d '\r' >"$work/list.txt"
cat "$work/list.txt"
check "devices are listed" grep -q '^input [0-9]*: Monitor of Microphone' "$work/list.txt"
check "speaker is listed" grep -q '^output [0-9]*: Speaker' "$work/list.txt"

for mode in 5 6; do
  road=loopback
  [[ $mode == 6 ]] && road=loopback-junk
  "$WINE_RUN" "$probe" capture "$mode" 6 "$work/frames$mode.aac" "$work/levels$mode.txt" "$road" 2>/dev/null \
    | tr -d '\r' | tee "$work/summary$mode.txt"
  faad -q -o "$work/decoded$mode.wav" "$work/frames$mode.aac" >/dev/null 2>&1 || true
done
"$WINE_RUN" "$probe" switch 12 2>/dev/null | tr -d '\r' | tee "$work/switch.txt"
check "payload type switches reopen the output each time" grep -q '^switch_playback_levels=[1-9]' "$work/switch.txt"
sleep 0.5
kill "${pids[2]}" 2>/dev/null || true  # parec: the speaker recording is complete
reentered=0
"$WINE_RUN" "$probe" reenter 8 2>/dev/null | tr -d '\r' | tee "$work/reenter.txt" || reentered=$?
check "sinks calling back while streams come and go: no deadlock" test "$reentered" = 0
check "streams came and went" grep -q '^reenter_iterations=[1-9][0-9]' "$work/reenter.txt"

python3 - "$work" <<'PY' || failures=$((failures + 1))
import struct, sys, wave
work = sys.argv[1]
failed = []

def check(what, ok):
    print(('ok: ' if ok else 'FAILED: ') + what)
    if not ok:
        failed.append(what)

def summary(mode):
    return dict(line.strip().split('=', 1) for line in open(f'{work}/summary{mode}.txt') if '=' in line)

def blocks(samples):
    # (peak, zero-crossing frequency) per 1024-sample block
    out = []
    for start in range(0, len(samples) - 1024, 1024):
        b = samples[start:start + 1024]
        crossings = sum(1 for i in range(1, len(b)) if (b[i - 1] < 0) != (b[i] < 0))
        out.append((max(abs(v) for v in b), crossings / 2 * 44100 / len(b)))
    return out

def sine_at_both_amplitudes(what, samples, share=0.9):
    # The speaker is recorded in real time: a loaded machine drops or repeats
    # some of its blocks, so its checks take a smaller share of clean blocks.
    bs = [b for b in blocks(samples) if b[0] > 1000]
    quiet = [b for b in bs if abs(b[0] - 8000) < 800]
    loud = [b for b in bs if abs(b[0] - 24000) < 2400]
    in_tune = [b for b in bs if abs(b[1] - 1000) <= 30]
    print(f'{what}: {len(bs)} sounding blocks, {len(quiet)} near 8000, {len(loud)} near 24000, '
          f'{len(in_tune)} at 1 kHz')
    check(f'{what}: at least 2 s of sound', len(bs) >= 86)
    check(f'{what}: a 1 kHz sine', len(in_tune) >= share * len(bs))
    check(f'{what}: both amplitudes', len(quiet) >= 20 and len(loud) >= 20)
    check(f'{what}: nothing but the two amplitudes and their edges', len(quiet) + len(loud) >= (share - 0.05) * len(bs))

for mode in (5, 6):
    s = summary(mode)
    check(f'mode {mode}: capture started', 'start_ms' in s)
    check(f'mode {mode}: modes 4 and 7 refused with devices present', s.get('other_modes_refused') == '1')
    check(f'mode {mode}: a second start while running refused', s.get('second_start_refused') == '1')
    frames = int(s.get('frames', 0))
    check(f'mode {mode}: frames for more than half of 6 s ({frames})', frames >= 150)
    check(f'mode {mode}: every packet taken', s.get('refused') == '0')
    check(f'mode {mode}: playback heard ({s.get("playback_level_max")})', int(s.get('playback_level_max', 0)) >= 70)
    check(f'mode {mode}: a muted stream plays level 0 ({s.get("muted_playback_levels")} buffers)',
          int(s.get('muted_playback_levels', 0)) >= 40 and s.get('muted_playback_level_max') == '0')
    levels = [int(v) for v in open(f'{work}/levels{mode}.txt')]
    counts = {v: levels.count(v) for v in set(levels)}
    print(f'mode {mode}: capture levels {sorted(counts.items())}')
    check(f'mode {mode}: levels follow the amplitude', counts.get(24, 0) >= 20 and counts.get(73, 0) >= 20)
    check(f'mode {mode}: no other levels', counts.get(24, 0) + counts.get(73, 0) >= 0.97 * len(levels))
    w = wave.open(f'{work}/decoded{mode}.wav')
    n, ch = w.getnframes(), w.getnchannels()
    pcm = struct.unpack(f'<{n * ch}h', w.readframes(n))
    sine_at_both_amplitudes(f'mode {mode}: frames decoded by faad', pcm[0::ch])
    if ch == 2:
        check(f'mode {mode}: both channels alike', max(abs(a - b) for a, b in zip(pcm[0::2], pcm[1::2])) < 600)

raw = open(f'{work}/speaker.raw', 'rb').read()
speaker = struct.unpack(f'<{len(raw) // 2}h', raw[:len(raw) // 2 * 2])
sine_at_both_amplitudes('speaker (end to end)', speaker[0::2], share=0.6)
sine_at_both_amplitudes('speaker right channel', speaker[1::2], share=0.6)
sys.exit(1 if failed else 0)
PY
exit $((failures > 0))
