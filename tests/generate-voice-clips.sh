#!/usr/bin/env bash
# Writes spoken Mandarin test clips (16 kHz mono WAV) and a manifest into OUTDIR:
# the nine command keywords at several speeds, clean and with background noise,
# sentences that hold no keyword, and a stop-then-start sequence.
# Tone-numbered pinyin through espeak-ng's pinyin voice: its Hanzi voice
# mispronounces too many characters. Safe to run in parallel; the first run
# builds the set, later runs find it complete.
set -euo pipefail

out="${1:?usage: generate-voice-clips.sh OUTDIR}"
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
[ -f "$out/manifest.tsv" ] && exit 0

keywords=(
  "停止录制|ting2 zhi3 lu4 zhi4"
  "结束录制|jie2 shu4 lu4 zhi4"
  "停止录像|ting2 zhi3 lu4 xiang4"
  "结束录像|jie2 shu4 lu4 xiang4"
  "停止录|ting2 zhi3 lu4"
  "结束录|jie2 shu4 lu4"
  "开始录制|kai1 shi3 lu4 zhi4"
  "开始录像|kai1 shi3 lu4 xiang4"
  "开始录|kai1 shi3 lu4"
)
# Everyday sentences, some sharing syllables with the keywords.
others=(
  "jin1 tian1 tian1 qi4 hen3 hao3"
  "wo3 men5 xia4 wu3 kai1 hui4"
  "ting2 che1 chang3 zai4 na3 li3"
  "lu4 shang4 qing3 xiao3 xin1"
  "jie2 guo3 bi3 yu4 qi1 de5 geng4 hao3"
  "da4 jia1 hao3 huan1 ying2 guan1 kan4 ben3 qi1 jie2 mu4"
  "kai1 shi3 chi1 fan4 ba5"
  "qing3 ting2 zhi3 shuo1 hua4"
  "hui4 yi4 jie2 shu4 le5"
  "zhe4 ge5 shi4 pin2 fei1 chang2 you3 yi4 si5"
  "ming2 tian1 zao3 shang4 jiu3 dian3 jian4"
  "qing3 ba3 men2 guan1 shang4"
  "wo3 xi3 huan1 he1 cha2"
  "xie4 xie5 da4 jia1 de5 zhi1 chi2"
)
speeds=(130 150 175)

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# speak TEXT SPEED NOISE OUTFILE: half a second of silence before, one after.
speak() {
  espeak-ng -v cmn-latn-pinyin -s "$2" -w "$tmp/raw.wav" "$1"
  sox -q -R "$tmp/raw.wav" -r 16000 -c 1 -b 16 "$tmp/clip.wav" pad 0.5 1.0 norm -3
  if [ "$3" = noise ]; then
    local seconds
    seconds="$(soxi -D "$tmp/clip.wav")"
    sox -q -R -n -r 16000 -c 1 -b 16 "$tmp/noise.wav" synth "$seconds" pinknoise vol 0.06
    sox -q -R -m "$tmp/clip.wav" "$tmp/noise.wav" -b 16 "$4"
  else
    cp "$tmp/clip.wav" "$4"
  fi
}

mkdir -p "$out/keyword" "$out/other"
manifest="$tmp/manifest.tsv"
: > "$manifest"
i=0
for entry in "${keywords[@]}"; do
  label="${entry%%|*}"
  pinyin="${entry#*|}"
  for speed in "${speeds[@]}"; do
    for noise in clean noise; do
      file="keyword/k${i}-${speed}-${noise}.wav"
      speak "$pinyin" "$speed" "$noise" "$out/$file"
      printf '%s\t%s\n' "$file" "$label" >> "$manifest"
    done
  done
  i=$((i + 1))
done
i=0
for pinyin in "${others[@]}"; do
  for speed in "${speeds[@]}"; do
    file="other/o${i}-${speed}.wav"
    speak "$pinyin" "$speed" clean "$out/$file"
    printf '%s\t\n' "$file" >> "$manifest"
  done
  i=$((i + 1))
done

# A stop command, three seconds of quiet, then a start command.
sox -q -R -n -r 16000 -c 1 -b 16 "$tmp/quiet.wav" trim 0 3
sox -q -R "$out/keyword/k0-175-clean.wav" "$tmp/quiet.wav" "$out/keyword/k6-175-clean.wav" "$out/stop-then-start.wav"

mv "$manifest" "$out/manifest.tsv"
