#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test twice: once as
# shipped, once under AddressSanitizer + UndefinedBehaviorSanitizer.
# Needs no display, camera, microphone or sound server.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$repo/tools/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

run_suite() {
  local dir="$1"; shift
  cmake -S "$repo" -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  # The integration tests bring up their own private sound server and devices.
  bash "$repo/tests/with-virtual-devices.sh" \
    ctest --test-dir "$dir" --output-on-failure --timeout 600 -j "$jobs"
}

run_suite "$repo/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
bash "$repo/tools/test-package.sh" "$repo/build"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$repo/build-asan" -DCMAKE_BUILD_TYPE=Debug -DVELTROSCOPE_SANITIZE=ON -DVELTROSCOPE_BENCH=OFF
