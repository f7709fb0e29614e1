#!/usr/bin/env bash
# Puts the offline speech engine and the Mandarin keyword model under .deps/.
# The engine comes from the npm registry at a pinned version; the model from
# ../shared when it sits beside the repo, otherwise from its release archive.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$repo/.deps"
engine_version="1.13.4"
model_name="kws-zh-wenetspeech-3.3M"
model_archive="sherpa-onnx-kws-zipformer-wenetspeech-3.3M-2024-01-01"
model_url="https://github.com/k2-fsa/sherpa-onnx/releases/download/kws-models/${model_archive}.tar.bz2"

mkdir -p "$deps"

engine_dir="$deps/sherpa-onnx"
stamp="$engine_dir/.version"
if [ "$(cat "$stamp" 2>/dev/null)" != "$engine_version" ]; then
  rm -rf "$engine_dir"
  mkdir -p "$engine_dir"
  (cd "$engine_dir" && npm install --no-save --no-audit --no-fund --ignore-scripts \
      --prefix "$engine_dir" "sherpa-onnx-linux-x64@${engine_version}" >/dev/null)
  echo "$engine_version" > "$stamp"
fi

model_dir="$deps/models/$model_name"
check_model() {
  [ -f "$model_dir/SHA256SUMS" ] && (cd "$model_dir" && sha256sum --quiet -c SHA256SUMS)
}
if ! check_model 2>/dev/null; then
  rm -rf "$model_dir"
  mkdir -p "$model_dir"
  shared_model="$repo/../shared/models/$model_name"
  if [ -d "$shared_model" ]; then
    cp -r "$shared_model/." "$model_dir/"
    chmod -R u+w "$model_dir"
  else
    tmp="$(mktemp -d)"
    trap 'rm -rf "$tmp"' EXIT
    curl -fsSL "$model_url" -o "$tmp/model.tar.bz2"
    tar -xjf "$tmp/model.tar.bz2" -C "$tmp"
    cp -r "$tmp/$model_archive/." "$model_dir/"
    # The archive carries no checksum list; the pinned one is kept beside this script.
    cp "$repo/tools/kws-model.sha256" "$model_dir/SHA256SUMS"
  fi
  check_model || { echo "❌ 语音模型校验失败: $model_dir" >&2; exit 1; }
fi
