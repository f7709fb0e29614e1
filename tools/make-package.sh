#!/usr/bin/env bash
# Builds veltroscope_<version>_<arch>.deb from a release build: the program with
# its speech engine and model, the menu entry, icons, metainfo and manual, all
# under /usr. Dependencies on shared libraries come from dpkg-shlibdeps; the
# GStreamer elements, fonts and plugins the program loads at run time are listed
# here.
#   bash tools/make-package.sh [build-dir [output-dir]]   (both default to build/)
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$repo/build}" && pwd)"
out="$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
arch="$(dpkg --print-architecture)"
changelog_version="$(dpkg-parsechangelog -l "$repo/data/package/changelog" -S Version)"
if [ "$changelog_version" != "$version" ]; then
  echo "❌ data/package/changelog 的版本 $changelog_version 与项目版本 $version 不符" >&2
  exit 1
fi

# A sanitizer or debug build would ship its runtime and its slowness.
sanitize="$(sed -n 's/^VELTROSCOPE_SANITIZE:BOOL=//p' "$build/CMakeCache.txt")"
build_type="$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")"
release=no
case "$build_type" in Release | RelWithDebInfo | MinSizeRel) [ "$sanitize" = ON ] || release=yes ;; esac
if [ "$release" != yes ]; then
  echo "❌ $build 不是发布构建 ($build_type, VELTROSCOPE_SANITIZE=$sanitize)" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
app="$root/usr/lib/veltroscope"

# A no-op right after the release build; builds what is missing otherwise.
cmake --build "$build" --target veltroscope veltroscope_icons
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
if [ ! -f "$app/speech/libsherpa-onnx-c-api.so" ]; then
  echo "❌ 构建里没有语音引擎 (tools/install-speech.sh)，不打包没有语音命令的程序" >&2
  exit 1
fi

# What dh_strip would do: no debug data, no build notes.
strip --remove-section=.comment --remove-section=.note "$app/veltroscope"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$app"/speech/*.so
chmod 0644 "$app"/speech/*.so

doc="$root/usr/share/doc/veltroscope"
install -d "$doc"
install -m 0644 "$repo/data/package/copyright" "$doc/copyright"
gzip -9n < "$repo/data/package/changelog" > "$doc/changelog.gz"
gzip -9n "$root/usr/share/man/man1/veltroscope.1"
install -D -m 0644 "$repo/data/package/lintian-overrides" "$root/usr/share/lintian/overrides/veltroscope"
find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod go-w {} +

# The engine and its runtime are ours, found through the run paths; only the
# system libraries they and the program link become dependencies.
mkdir -p "$work/debian" "$root/DEBIAN"
printf 'Source: veltroscope\n\nPackage: veltroscope\nArchitecture: any\n' > "$work/debian/control"
shlibs="$(cd "$work" && dpkg-shlibdeps -O "$app/veltroscope" "$app"/speech/*.so 2>"$work/shlibdeps.log" \
  | sed -n 's/^shlibs:Depends=//p')" || { cat "$work/shlibdeps.log" >&2; exit 1; }
if [ -z "$shlibs" ]; then
  cat "$work/shlibdeps.log" >&2
  exit 1
fi

runtime=(
  # decodebin, videoconvert/videoscale, audioconvert/audioresample, appsink
  gstreamer1.0-plugins-base
  # qtdemux/mp4mux, videocrop, videoflip, jpegdec, level, v4l2src, pulsesrc, autoaudiosink
  gstreamer1.0-plugins-good
  # h264parse, voaacenc
  gstreamer1.0-plugins-bad
  # x264enc
  gstreamer1.0-plugins-ugly
  # avenc_aac, the preferred AAC encoder
  gstreamer1.0-libav
  # the cameras and the microphone of a PipeWire session
  gstreamer1.0-pipewire
  # the interface's Chinese text
  fonts-noto-cjk
  # SVG theme icons
  libqt6svg6
)
recommends=(
  # the teleprompter's typefaces: CJK sans weights, kai, Helvetica and Menlo stand-ins
  fonts-noto-cjk-extra fonts-arphic-ukai fonts-urw-base35 fonts-dejavu-core
  # the themed icons the buttons ask for first
  adwaita-icon-theme
  # sound for programs that speak PulseAudio (the microphone, the countdown beep)
  "pipewire-pulse | pulseaudio"
)
join() { local IFS=,; echo "$*" | sed 's/,/, /g'; }

cat > "$root/DEBIAN/control" <<CONTROL
Package: veltroscope
Version: $version
Architecture: $arch
Maintainer: Veltroscope <support@veltroscope.app>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $shlibs, $(join "${runtime[@]}")
Recommends: $(join "${recommends[@]}")
Section: video
Priority: optional
Homepage: https://veltroscope.app
Description: talking-head video recorder with a teleprompter and voice commands
 Veltroscope records talking-head videos: one speaker, one camera, a prepared
 script. It shows the live camera picture with a frame for the chosen aspect
 ratio and lays the script over it as a teleprompter that scrolls at an
 adjustable pace.
 .
 Saying a short Mandarin keyword starts and stops the recording; speech is
 recognised offline. Each take is cropped to the chosen ratio, given a
 thumbnail and filed in a video library; scripts are kept in a library too.
 The interface is in Chinese.
CONTROL
(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb="$out/veltroscope_${version}_${arch}.deb"
# gzip: a few seconds, where xz takes most of a minute for 3 MB less.
dpkg-deb --root-owner-group -Zgzip --build "$root" "$deb" >/dev/null
echo "$deb"
