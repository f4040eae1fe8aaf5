#!/usr/bin/env bash
# Writes the generated media the tests share into the folder given (once).
set -euo pipefail
OUT=${1:?usage: make-test-media.sh DIR}
HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$OUT"
[ -f "$OUT/.ready-5" ] && exit 0
cd "$OUT"
sox -q -n -r 44100 -c 2 -b 16 tone44k_stereo.wav synth 2.0 sine 440 sine 660 vol 0.5
sox -q -n -r 48000 -c 2 -b 16 tone48k_stereo.wav synth 1.0 sine 1000 vol 0.5
sox -q -n -r 44100 -c 1 -b 16 tone44k_mono.wav synth 1.0 sine 440 vol 0.5
lame --quiet -b 128 tone44k_stereo.wav tone44k_stereo.mp3
oggenc -Q -q 4 tone44k_stereo.wav -o tone44k_stereo.ogg
/usr/bin/python3 "$HERE/../tests/audiolib/media/make_detection_media.py" .
/usr/bin/python3 "$HERE/../tests/audiolib/media/make_network_media.py" .
touch .ready-5
