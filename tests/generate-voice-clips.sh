#!/usr/bin/env bash
# Writes spoken Mandarin test clips (16 kHz mono WAV) and a manifest into OUTDIR.
#
#   generate-voice-clips.sh OUTDIR [tests|full]
#
# "full" is the evaluation set: the nine command keywords alone and inside
# sentences, and script sentences that hold no command, in several voices,
# each clean, in a reverberant room, with background noise at 10-20 dB SNR and
# at a low level (-20 dB). "tests" (the default) is the part of it that the
# unit tests use; a clip of the same name is the same audio in both.
#
# Tone-numbered pinyin through espeak-ng's pinyin voice: its Hanzi voice
# mispronounces too many characters. Safe to run in parallel; the first run
# builds the set, later runs find it complete.
#
# manifest.tsv columns: file, keyword label (empty: no command), voice,
# condition, kind (alone, sentence, negative), Hanzi text.
set -euo pipefail

out="${1:?usage: generate-voice-clips.sh OUTDIR [tests|full]}"
set_name="${2:-tests}"
case "$set_name" in tests | full) ;; *) echo "unknown set: $set_name" >&2; exit 2 ;; esac
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Clips made by another version of these scripts are made again.
version="$(cat "${BASH_SOURCE[0]}" "$here/voice-clip-texts.sh" | sha256sum | cut -c1-16)"
if [ -f "$out/manifest.tsv" ] && [ "$(cat "$out/.version" 2>/dev/null)" = "$version" ]; then exit 0; fi
rm -f "$out/manifest.tsv"
# shellcheck source=voice-clip-texts.sh
source "$here/voice-clip-texts.sh"

# name|espeak variant|pitch|words per minute. Male and female voices, low to
# high pitch, slow to fast speech.
voices=(
  "m1|m1|50|150"
  "f2|f2|62|145"
  "m3|m3|36|132"
  "f4|f4|74|168"
  "m7|m7|44|180"
  "f5|f5|56|192"
)
conditions=(clean reverb noise quiet)
if [ "$set_name" = full ]; then
  keyword_voices=6 negative_voices=4
else
  keyword_voices=2 negative_voices=2
fi

# A sentence that holds a keyword's syllables is a command, not a negative.
for entry in "${negatives[@]}"; do
  pinyin=" ${entry#*|} "
  for exact in " kai1 shi3 lu4 " " ting2 zhi3 lu4 " " jie2 shu4 lu4 "; do
    if [[ "$pinyin" == *"$exact"* ]]; then
      echo "negative holds a keyword: $entry" >&2
      exit 1
    fi
  done
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Background noise beds, made once: pink (a fan, a room) and brown (traffic, hum).
for colour in pink brown; do
  sox -q -R -n -r 16000 -c 1 -b 16 "$tmp/$colour.wav" synth 40 "${colour}noise" norm -10
done
rms_db() { sox "$1" -n "${@:2}" stats 2>&1 | awk '/RMS lev dB/ {print $4}'; }

# Which clip of the set this is; picks its room, noise colour and SNR.
clip_index=0
# render PINYIN VOICE-ENTRY: the clean clip, half a second of silence before
# and one after, peaks at -3 dBFS, in $tmp/clean.wav.
render() {
  local name variant pitch speed
  IFS='|' read -r name variant pitch speed <<<"$2"
  espeak-ng -v "cmn-latn-pinyin+$variant" -p "$pitch" -s "$speed" -w "$tmp/raw.wav" "$1"
  sox -q -R "$tmp/raw.wav" -r 16000 -c 1 -b 16 "$tmp/clean.wav" pad 0.5 1.0 norm -3
}

# condition NAME OUTFILE: the clean clip in that condition. Settings vary from
# clip to clip but are fixed by the clip's place in the set.
condition() {
  local i=$clip_index
  case "$1" in
    clean) cp "$tmp/clean.wav" "$2" ;;
    reverb)
      # Rooms from a small office to a bare hall.
      sox -q -V1 -R "$tmp/clean.wav" -b 16 "$2" gain -6 reverb $((50 + i * 7 % 40)) 50 $((50 + i * 13 % 50)) channels 1 norm -3
      ;;
    noise)
      local snr=$((10 + i * 7 % 11)) colour=pink speech noise seconds
      [ $((i % 2)) -eq 1 ] && colour=brown
      seconds="$(soxi -D "$tmp/clean.wav")"
      sox -q -R "$tmp/$colour.wav" "$tmp/bed.wav" trim $((i * 3 % 20)) "$seconds"
      speech="$(rms_db "$tmp/clean.wav" trim 0.5 -1.0)"
      noise="$(rms_db "$tmp/bed.wav")"
      sox -q -R -m -v 1 "$tmp/clean.wav" -v "$(awk -v s="$speech" -v n="$noise" -v r="$snr" \
        'BEGIN { printf "%.5f", 10 ^ ((s - r - n) / 20) }')" "$tmp/bed.wav" -b 16 "$2" norm -3
      ;;
    quiet)
      # 20 dB down, over the faint hiss of a microphone input.
      local seconds
      seconds="$(soxi -D "$tmp/clean.wav")"
      sox -q -R -n -r 16000 -c 1 -b 16 "$tmp/hiss.wav" synth "$seconds" whitenoise vol 0.0005
      sox -q -R -m -v 0.1 "$tmp/clean.wav" -v 1 "$tmp/hiss.wav" -b 16 "$2"
      ;;
  esac
}

manifest="$tmp/manifest.tsv"
: >"$manifest"
mkdir -p "$out/keyword" "$out/other"

k=0
for entry in "${keywords[@]}"; do
  IFS='|' read -r label pinyin <<<"$entry"
  contexts=("alone|$label|$pinyin")
  for carrier in "${keyword_carriers[@]}"; do
    IFS='|' read -r hanzi_carrier pinyin_carrier <<<"$carrier"
    contexts+=("sentence|${hanzi_carrier//@/$label}|${pinyin_carrier//@/$pinyin}")
  done
  c=0
  for context in "${contexts[@]}"; do
    IFS='|' read -r kind text context_pinyin <<<"$context"
    for ((v = 0; v < keyword_voices; v++)); do
      voice="${voices[$v]%%|*}"
      render "$context_pinyin" "${voices[$v]}"
      for cond in "${conditions[@]}"; do
        clip_index=$(((k * 10 + c) * 10 + v))
        # The tests take every clean clip, and each keyword alone quietly.
        if [ "$set_name" = tests ] && [ "$cond" != clean ] && ! { [ "$cond" = quiet ] && [ "$kind" = alone ]; }; then
          continue
        fi
        file="keyword/k$k-c$c-$voice-$cond.wav"
        condition "$cond" "$out/$file"
        printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$file" "$label" "$voice" "$cond" "$kind" "$text" >>"$manifest"
      done
    done
    c=$((c + 1))
  done
  k=$((k + 1))
done

n=0
for entry in "${negatives[@]}"; do
  IFS='|' read -r text pinyin <<<"$entry"
  for ((v = 0; v < negative_voices; v++)); do
    voice="${voices[$v]%%|*}"
    render "$pinyin" "${voices[$v]}"
    for cond in "${conditions[@]}"; do
      clip_index=$((1000 + n * 10 + v))
      if [ "$set_name" = tests ] && [ "$cond" != clean ]; then
        continue
      fi
      file="other/n$n-$voice-$cond.wav"
      condition "$cond" "$out/$file"
      printf '%s\t\t%s\t%s\tnegative\t%s\n' "$file" "$voice" "$cond" "$text" >>"$manifest"
    done
  done
  n=$((n + 1))
done

# A stop command, three seconds of quiet, then a start command.
sox -q -R -n -r 16000 -c 1 -b 16 "$tmp/gap.wav" trim 0 3
sox -q -R "$out/keyword/k1-c0-m1-clean.wav" "$tmp/gap.wav" "$out/keyword/k6-c0-m1-clean.wav" "$out/stop-then-start.wav"

mv "$manifest" "$out/manifest.tsv"
printf '%s\n' "$version" >"$out/.version"
