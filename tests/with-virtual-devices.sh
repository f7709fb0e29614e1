#!/usr/bin/env bash
# Runs a command inside a private PipeWire session with two virtual cameras (a
# test pattern, and a webcam that sends only JPEG pictures) and a virtual
# microphone, e.g.  tests/with-virtual-devices.sh ctest --test-dir build
#
# Everything lives under one temporary folder (its own XDG_RUNTIME_DIR,
# XDG_STATE_HOME, XDG_CONFIG_HOME and session bus), so the user's own sound
# server is never touched. The command gets PIPEWIRE_RUNTIME_DIR and
# PULSE_SERVER; exactly the processes started here are stopped afterwards, also
# when the command fails. Without PipeWire on the machine the command runs as
# it is.
set -uo pipefail

if [ "$#" -eq 0 ]; then
  echo "usage: $0 command [arguments...]" >&2
  exit 2
fi
for tool in pipewire wireplumber pipewire-pulse pw-cli pactl dbus-daemon gst-launch-1.0; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-virtual-devices: $tool not found; running without virtual devices" >&2
    exec "$@"
  fi
done

root="$(mktemp -d "${TMPDIR:-/tmp}/veltroscope-pw-XXXXXX")"
started=()

cleanup() {
  local pid
  # Newest first: the sound server's clients before the server.
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid="${started[$i]}"
    kill "$pid" 2>/dev/null
  done
  for pid in "${started[@]}"; do
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
  done
  rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$root/runtime" "$root/state" "$root/config"
chmod 700 "$root/runtime"
server_env=(
  "XDG_RUNTIME_DIR=$root/runtime" "XDG_STATE_HOME=$root/state" "XDG_CONFIG_HOME=$root/config"
  "PIPEWIRE_RUNTIME_DIR=$root/runtime" "PULSE_RUNTIME_PATH=$root/runtime/pulse"
)

# A session bus of our own: WirePlumber wants one.
bus_address="unix:path=$root/runtime/bus"
env "${server_env[@]}" dbus-daemon --session --nofork --nopidfile --address="$bus_address" \
  >"$root/dbus.log" 2>&1 &
started+=($!)
server_env+=("DBUS_SESSION_BUS_ADDRESS=$bus_address")

wait_for() { # seconds, test command...
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

wait_for 5 test -S "$root/runtime/bus"
env "${server_env[@]}" pipewire >"$root/pipewire.log" 2>&1 &
started+=($!)
wait_for 10 test -S "$root/runtime/pipewire-0" || { cat "$root/pipewire.log" >&2; echo "with-virtual-devices: pipewire did not start" >&2; exit 1; }
env "${server_env[@]}" wireplumber >"$root/wireplumber.log" 2>&1 &
started+=($!)
env "${server_env[@]}" pipewire-pulse >"$root/pipewire-pulse.log" 2>&1 &
started+=($!)
wait_for 10 test -S "$root/runtime/pulse/native" || { echo "with-virtual-devices: pipewire-pulse did not start" >&2; exit 1; }
wait_for 10 env "${server_env[@]}" pactl info || { echo "with-virtual-devices: no answer from pipewire-pulse" >&2; exit 1; }

# Camera: PipeWire's own test pattern node; it serves any size and rate asked
# for and survives many consumers (and consumers killed with -9).
env "${server_env[@]}" pw-cli create-node spa-node-factory \
  '{ factory.name=videotestsrc library.name=videotestsrc/libspa-videotestsrc media.class=Video/Source
     object.linger=true node.name=veltroscope-test-camera node.description="Veltroscope Test Camera" }' \
  >"$root/camera.log" 2>&1 || { cat "$root/camera.log" >&2; exit 1; }

# Microphone: a mono null sink is the feed; a source remapped from its monitor
# is the default microphone. `paplay --device=veltroscope_feed x.wav` speaks into it.
env "${server_env[@]}" pactl load-module module-null-sink sink_name=veltroscope_feed channels=1 \
  sink_properties=device.description=Veltroscope-Feed >/dev/null || exit 1
env "${server_env[@]}" pactl load-module module-remap-source source_name=veltroscope_mic \
  master=veltroscope_feed.monitor channels=1 source_properties=device.description=Veltroscope-Test-Microphone \
  >/dev/null || exit 1
env "${server_env[@]}" pactl set-default-source veltroscope_mic || exit 1
wait_for 10 sh -c "env ${server_env[*]} pw-cli ls Node | grep -q veltroscope-test-camera" ||
  { echo "with-virtual-devices: the virtual camera did not appear" >&2; exit 1; }

# A webcam that gives 1920x1080 at 30 fps only as JPEG pictures, as most USB
# webcams do: a GStreamer client that provides a camera node.
env "${server_env[@]}" gst-launch-1.0 -q videotestsrc is-live=true pattern=smpte \
  ! video/x-raw,format=I420,width=1920,height=1080,framerate=30/1 ! jpegenc quality=50 \
  ! pipewiresink mode=provide \
  stream-properties="props,media.class=Video/Source,node.name=veltroscope-mjpeg-camera,node.description=Veltroscope-MJPEG-Camera" \
  >"$root/mjpeg-camera.log" 2>&1 &
started+=($!)
wait_for 10 sh -c "env ${server_env[*]} pw-cli ls Node | grep -q veltroscope-mjpeg-camera" ||
  { cat "$root/mjpeg-camera.log" >&2; echo "with-virtual-devices: the JPEG camera did not appear" >&2; exit 1; }

export PIPEWIRE_RUNTIME_DIR="$root/runtime"
export PULSE_SERVER="unix:$root/runtime/pulse/native"
echo "with-virtual-devices: export PIPEWIRE_RUNTIME_DIR=$PIPEWIRE_RUNTIME_DIR PULSE_SERVER=$PULSE_SERVER"

"$@"
status=$?
exit "$status"
