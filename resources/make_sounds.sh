#!/usr/bin/env bash
# Synthesises the sound clips of the clip palette into OUTPUT_FOLDER/wav
# (default: the "wav" folder beside this script), with sox and espeak-ng
# (Debian packages sox and espeak-ng). Every clip is made here from noise,
# tones and synthetic speech; nothing is recorded.
#
# The leading digits give the palette's order and are not shown:
# "01掌声.wav" is the button "掌声". All clips: 22050 Hz, mono, 16-bit PCM,
# at most about 4 s, peaks normalised to -1 dB.
#
# Usage: make_sounds.sh [OUTPUT_FOLDER]
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
out=$(readlink -m "${1:-$here}")/wav
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"

RANDOM=2026   # the same clips on every run
FMT=(-r 22050 -c 1 -b 16)
sx() { sox -R -V1 "$@"; }
# A random decimal number between $1 and $2 (three places).
rnd() { awk -v a="$1" -v b="$2" -v r="$RANDOM" 'BEGIN { printf "%.3f", a + (b - a) * r / 32767 }'; }
# Mixes the files given to $1 without sox's automatic division.
mix() { local dst=$1; shift; local args=(); for f in "$@"; do args+=(-v 1 "$f"); done; sx -m "${args[@]}" "$dst"; }
finish() {  # finish SRC NAME: normalise, write 16-bit mono 22050 Hz
  sx "$1" "${FMT[@]}" "$out/$2.wav" norm -1
  echo "sounds: $2.wav ($(soxi -D "$out/$2.wav" | cut -c1-4) s)"
}

# 01 Applause: twelve people clapping at their own pace; a clap is a short
# burst of band-passed noise.
sx -n "${FMT[@]}" clap.wav synth 0.035 whitenoise fade q 0.001 0.035 0.03 bandpass 1400 1.2q
people=()
for i in $(seq 12); do
  gap=$(rnd 0.16 0.26)
  sx clap.wav "${FMT[@]}" p$i.wav pad 0 "$gap" repeat 9 speed "$(rnd 0.85 1.2)" pad "$(rnd 0 0.25)" vol "$(rnd 0.08 0.16)"
  people+=(p$i.wav)
done
mix claps.wav "${people[@]}"
sx claps.wav applause.wav trim 0 2.6 fade t 0.25 2.6 0.8 reverb 40 50 60
finish applause.wav 01掌声

# 02 Laughter: three synthetic voices laughing, a little apart.
espeak-ng -v en+m3 -s 230 -p 60 -w l1.wav "ha ha ha ha ha ha"
espeak-ng -v en+f2 -s 260 -p 85 -w l2.wav "ha ha ha ha ha"
espeak-ng -v en+m1 -s 210 -p 40 -w l3.wav "ho ho ho ho"
sx l1.wav "${FMT[@]}" a.wav vol 0.5
sx l2.wav "${FMT[@]}" b.wav pad 0.25 vol 0.45
sx l3.wav "${FMT[@]}" c.wav pad 0.5 vol 0.4
mix laugh.wav a.wav b.wav c.wav
sx laugh.wav laughter.wav trim 0 3 tremolo 6 30 reverb 30 fade t 0.02 3 0.4
finish laughter.wav 02笑声

# 03 Drum roll: snare strokes every 45 ms swelling for 1.6 s, then one big
# stroke with a cymbal.
sx -n "${FMT[@]}" snare_n.wav synth 0.045 whitenoise fade q 0.001 0.045 0.04 bandpass 2200 0.8q
sx -n "${FMT[@]}" snare_b.wav synth 0.045 sine 190 fade q 0.001 0.045 0.04 vol 0.6
mix stroke.wav snare_n.wav snare_b.wav
sx stroke.wav roll.wav repeat 35 fade t 1.6 0 0
sx -n "${FMT[@]}" crash_n.wav synth 1.4 whitenoise highpass 3000 fade l 0.002 1.4 1.35 vol 0.5
sx -n "${FMT[@]}" crash_b.wav synth 0.3 sine 110 fade l 0.002 0.3 0.28
mix crash.wav crash_n.wav crash_b.wav
sx roll.wav crash.wav drum.wav reverb 25
finish drum.wav 03击鼓

# 04 Bell: inharmonic partials of 660 Hz dying away slowly.
partials=()
for p in "1 0.6" "2.0 0.35" "2.76 0.3" "5.4 0.15" "8.93 0.08"; do
  set -- $p
  f=$(awk -v k="$1" 'BEGIN { print 660 * k }')
  sx -n "${FMT[@]}" bell_$1.wav synth 2.8 sine "$f" fade l 0.003 2.8 2.75 vol "$2"
  partials+=(bell_$1.wav)
done
mix bell_raw.wav "${partials[@]}"
sx bell_raw.wav bell.wav reverb 35
finish bell.wav 04铃声

# 05 Whistle: a referee's whistle, two short trills and a long one.
sx -n "${FMT[@]}" tone_s.wav synth 0.22 sine 2850 tremolo 32 70 fade q 0.01 0.22 0.04
sx -n "${FMT[@]}" tone_l.wav synth 0.8 sine 2850 tremolo 32 70 fade q 0.01 0.8 0.1
sx -n "${FMT[@]}" gap.wav trim 0 0.08
sx tone_s.wav gap.wav tone_s.wav gap.wav tone_l.wav whistle_t.wav
sx -n "${FMT[@]}" breath.wav synth 1.3 pinknoise bandpass 2850 4q vol 0.15
sx breath.wav breath_c.wav trim 0 "$(soxi -D whistle_t.wav)"
mix whistle.wav whistle_t.wav breath_c.wav
finish whistle.wav 05哨声

# 06 Ta-da: a short major chord and a long one a fourth higher, brassy
# saw waves softened by a low-pass filter.
sx -n "${FMT[@]}" ta.wav synth 0.16 sawtooth 392 sawtooth 493.9 sawtooth 587.3 remix - lowpass 2500 fade q 0.01 0.16 0.03
sx -n "${FMT[@]}" da.wav synth 1.3 sawtooth 523.3 sawtooth 659.3 sawtooth 784 sawtooth 1046.5 remix - \
  lowpass 3000 tremolo 5 15 fade q 0.02 1.3 0.6
sx -n "${FMT[@]}" rest.wav trim 0 0.06
sx ta.wav rest.wav da.wav tada.wav reverb 30
finish tada.wav 06登场

# 07 Countdown: three short beeps a second apart and a long high one.
sx -n "${FMT[@]}" beep.wav synth 0.15 sine 880 fade q 0.005 0.15 0.02
sx -n "${FMT[@]}" pause.wav trim 0 0.85
sx -n "${FMT[@]}" go.wav synth 0.6 sine 1760 fade q 0.005 0.6 0.15
sx beep.wav pause.wav beep.wav pause.wav beep.wav pause.wav go.wav countdown.wav
finish countdown.wav 07倒计时

# 08 Cheer: voices calling out over the murmur of a crowd.
espeak-ng -v en+m2 -s 170 -p 55 -w c1.wav "hooray"
espeak-ng -v en+f3 -s 190 -p 90 -w c2.wav "yay"
espeak-ng -v en+m4 -s 160 -p 35 -w c3.wav "woo hoo"
espeak-ng -v en+f1 -s 200 -p 75 -w c4.wav "yeah"
sx c1.wav "${FMT[@]}" v1.wav pad 0.1 vol 0.5
sx c2.wav "${FMT[@]}" v2.wav pad 0.3 vol 0.45
sx c3.wav "${FMT[@]}" v3.wav pad 0.55 vol 0.45
sx c4.wav "${FMT[@]}" v4.wav pad 0.8 vol 0.4
sx -n "${FMT[@]}" crowd.wav synth 2.4 pinknoise bandpass 700 1.5q tremolo 3 40 fade t 0.3 2.4 0.8 vol 0.35
mix cheer_raw.wav v1.wav v2.wav v3.wav v4.wav crowd.wav
sx cheer_raw.wav cheer.wav trim 0 2.4 reverb 40 fade t 0.02 2.4 0.5
finish cheer.wav 08欢呼
