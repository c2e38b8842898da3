# The audio library on a private PulseAudio server: the devices it lists, a
# 1 kHz sine captured from the "microphone" in mono and stereo, its AAC frames
# decoded by faad, and a second peer receiving them as RTP and playing them on
# the "speaker" (recorded and checked). Takes about half a minute.
echo "Sondex audio library: capture -> AAC -> RTP -> receive queue -> playback"
bash tests/audio/sondex_device_tests.sh 2>&1 | grep -v '^ok: '
