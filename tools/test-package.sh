#!/usr/bin/env bash
# Builds the Debian package from a release build and meets it as a user would:
# its control data and file list, lintian, apt-get install, the installed
# program on a virtual display until it has opened its library, apt-get purge.
# Installs as root (through sudo otherwise). The package is purged again however
# the test ends, so do not run it where veltroscope is installed for real.
#   bash tools/test-package.sh [build-dir]   (default: build/)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$repo/build}" && pwd)"
work="$(mktemp -d)"
# apt hands the file to its unprivileged download user, which must read it.
chmod 0755 "$work"
app_pid=""
display_pid=""
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

cleanup() {
  local status=$?
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$display_pid" ]; then kill "$display_pid" 2>/dev/null || true; wait "$display_pid" 2>/dev/null || true; fi
  if dpkg-query -W veltroscope >/dev/null 2>&1; then
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q veltroscope >/dev/null || status=1
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

fail() {
  echo "❌ 安装包测试失败: $*" >&2
  exit 1
}

# Polls until `condition` holds; `limit` seconds is far beyond what a loaded
# machine needs, so hitting it means the event is not coming.
wait_for() {
  local limit="$1"; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

deb="$(bash "$repo/tools/make-package.sh" "$build" "$work" | tail -n 1)"
[ -f "$deb" ] || fail "没有生成安装包"

# Control data: the project's version, runtime packages only.
dpkg-deb --info "$deb"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ "$(dpkg-deb --field "$deb" Version)" = "$version" ] || fail "版本不是 $version"
[ "$(basename "$deb")" = "veltroscope_${version}_$(dpkg --print-architecture).deb" ] || fail "文件名: $deb"
depends="$(dpkg-deb --field "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g')"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libsqlite3-0 libgstreamer1.0-0 \
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly \
  gstreamer1.0-libav gstreamer1.0-pipewire fonts-noto-cjk; do
  grep -qx "$package" <<<"$depends" || fail "Depends 缺少 $package"
done
if grep -E -e '-dev$|^(cmake|ninja-build|build-essential|g\+\+|gcc|pkg-config|npm)$' <<<"$depends"; then
  fail "Depends 含有构建用的软件包"
fi

# Contents: everything under /usr, the engine where the program's run path leads.
contents="$(dpkg-deb --contents "$deb")"
echo "$contents"
paths="$(awk '{ print $6 }' <<<"$contents")"
outside="$(grep -v -e '^\./$' -e '^\./usr/' <<<"$paths" || true)"
[ -z "$outside" ] || fail "不在 /usr 下: $outside"
grep -q -e '^l.* \./usr/bin/veltroscope -> \.\./lib/veltroscope/veltroscope$' <<<"$contents" \
  || fail "/usr/bin/veltroscope 不是指向程序的相对链接"
for file in usr/lib/veltroscope/veltroscope \
  usr/lib/veltroscope/speech/libsherpa-onnx-c-api.so usr/lib/veltroscope/speech/libonnxruntime.so \
  usr/lib/veltroscope/speech/kws-zh-wenetspeech-3.3M/tokens.txt \
  usr/share/applications/app.veltroscope.Veltroscope.desktop \
  usr/share/metainfo/app.veltroscope.Veltroscope.metainfo.xml \
  usr/share/icons/hicolor/256x256/apps/app.veltroscope.Veltroscope.png \
  usr/share/man/man1/veltroscope.1.gz usr/share/doc/veltroscope/copyright usr/share/doc/veltroscope/changelog.gz; do
  grep -qx "\./$file" <<<"$paths" || fail "安装包里没有 /$file"
done
if grep -q '/test_wavs/' <<<"$paths"; then fail "安装包里带着模型的示例录音"; fi
dpkg-deb -x "$deb" "$work/unpacked"
program="$work/unpacked/usr/lib/veltroscope/veltroscope"
dynamic="$(readelf -d -W "$program")"
runpath="$(sed -n 's/.*(RUNPATH) *Library runpath: \[\(.*\)\]$/\1/p' <<<"$dynamic")"
[ "$runpath" = '$ORIGIN/speech' ] || fail "程序的 RUNPATH 是 \"$runpath\"，应为 \$ORIGIN/speech"
[ -f "$(dirname "$program")/speech/libsherpa-onnx-c-api.so" ] || fail "RUNPATH 指向的文件夹里没有语音引擎"
if grep -q 'debug_info' <<<"$(readelf -S -W "$program")"; then fail "程序未去除调试信息"; fi

lintian --fail-on error "$deb" || fail "lintian 报告了错误"

(cd "$work" && "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$(basename "$deb")") \
  || fail "apt-get install 失败"
[ -x /usr/bin/veltroscope ] || fail "/usr/bin/veltroscope 不可执行"

# A display of its own, on the first free number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
display_pid=$!
display_ready() { [ -s "$work/display" ]; }
wait_for 60 display_ready || { cat "$work/xvfb.log" >&2; fail "Xvfb 没有启动"; }

home="$work/home"
mkdir -p "$home" && mkdir -m 0700 "$home/.run"
(cd "$home" && exec env DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb HOME="$home" \
  XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
  XDG_RUNTIME_DIR="$home/.run" /usr/bin/veltroscope >"$work/app.log" 2>&1) &
app_pid=$!

opened="✅ 数据库已打开: $home/.local/share/Veltroscope/veltroscope.sqlite3"
library_opened() { grep -qF "$opened" "$work/app.log" 2>/dev/null || ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 120 library_opened || { cat "$work/app.log" >&2; fail "程序没有打开数据库"; }
kill -0 "$app_pid" 2>/dev/null || { cat "$work/app.log" >&2; fail "程序退出了"; }
grep -qF "$opened" "$work/app.log" || { cat "$work/app.log" >&2; fail "程序没有打开数据库"; }

# The listener loads the engine once the recording screen is up: the installed
# copy, reached through the run path, not the one in the source tree.
engine_mapped() { grep -q 'libsherpa-onnx-c-api\.so' "/proc/$app_pid/maps" 2>/dev/null || ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 120 engine_mapped || { cat "$work/app.log" >&2; fail "程序没有加载语音引擎"; }
engine="$(awk '/libsherpa-onnx-c-api\.so$/ { print $6; exit }' "/proc/$app_pid/maps" 2>/dev/null || true)"
[ "$engine" = /usr/lib/veltroscope/speech/libsherpa-onnx-c-api.so ] \
  || { cat "$work/app.log" >&2; fail "加载的语音引擎是 \"$engine\""; }
cat "$work/app.log"
if grep -q '语音识别引擎加载失败' "$work/app.log"; then fail "语音识别引擎加载失败"; fi

kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q veltroscope || fail "apt-get purge 失败"
if dpkg-query -W veltroscope >/dev/null 2>&1; then fail "清除后仍有 veltroscope 的记录"; fi
[ ! -e /usr/bin/veltroscope ] && [ ! -e /usr/lib/veltroscope ] || fail "清除后仍有文件留下"
echo "✅ 安装包测试通过: $(basename "$deb")"
