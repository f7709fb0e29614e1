#!/usr/bin/env bash
# Writes the spoken clauses of the voice-following scripts into OUTDIR as
# 16 kHz mono WAV, one file per clause, for the tests and the benchmark to
# put together into readings: zh-S-C.wav is clause C of line S of
# tests/voice/follow-script.tsv, read by espeak-ng's pinyin voice from its
# tone-numbered pinyin; en-S.wav is line S of follow-script-latin.txt in
# English. Safe to run in parallel; later runs find the set complete.
set -euo pipefail

out="${1:?usage: generate-follow-reading.sh OUTDIR}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
[ -f "$out/complete" ] && exit 0

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# speak VOICE TEXT OUTFILE: no padding; the reader measures where the voice is.
speak() {
  espeak-ng -v "$1" -s 150 -w "$tmp/raw.wav" "$2"
  sox -q -R "$tmp/raw.wav" -r 16000 -c 1 -b 16 "$3" norm -3
}

s=0
while IFS=$'\t' read -r hanzi pinyin; do
  [ -n "$pinyin" ] || continue
  c=0
  IFS=',' read -ra clauses <<< "$pinyin"
  for clause in "${clauses[@]}"; do
    speak cmn-latn-pinyin "$clause" "$out/zh-$s-$c.wav"
    c=$((c + 1))
  done
  s=$((s + 1))
done < "$here/voice/follow-script.tsv"

s=0
while read -r line; do
  [ -n "$line" ] || continue
  speak en "$line" "$out/en-$s.wav"
  s=$((s + 1))
done < "$here/voice/follow-script-latin.txt"

touch "$out/complete"
