#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test twice: once as
# shipped, once under AddressSanitizer + UndefinedBehaviorSanitizer.
# Needs no display, camera, microphone or sound server.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
started=$SECONDS
background=()
finish() {
  local status=$?
  local pid
  for pid in "${background[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  echo "run-tests: $((SECONDS - started)) s in all (exit $status)"
}
trap finish EXIT

bash "$repo/tools/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

run_suite() {
  # The integration tests bring up their own private sound server and devices.
  bash "$repo/tests/with-virtual-devices.sh" \
    ctest --test-dir "$1" --output-on-failure --timeout 600 -j "$jobs"
}

cmake -S "$repo" -B "$repo/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake -S "$repo" -B "$repo/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTROSCOPE_SANITIZE=ON \
  -DVELTROSCOPE_BENCH=OFF
cmake --build "$repo/build" -j "$jobs"

# The sanitizer build compiles at the lowest priority while the shipped build's
# tests run: much of their time they wait for devices, sound and each other,
# and they get the processor back whenever they want it.
nice -n 19 cmake --build "$repo/build-asan" -j "$jobs" >"$repo/build-asan/build.log" 2>&1 &
background+=($!)
run_suite "$repo/build"
bash "$repo/tools/test-package.sh" "$repo/build"

if ! wait "${background[0]}"; then
  tail -n 60 "$repo/build-asan/build.log"
  echo "run-tests: the sanitizer build failed (build-asan/build.log)" >&2
  exit 1
fi
background=()
echo "run-tests: shipped build tested, sanitizer build ready after $((SECONDS - started)) s"

ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite "$repo/build-asan"
