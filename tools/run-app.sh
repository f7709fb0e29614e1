#!/usr/bin/env bash
# Installs what is needed, builds Veltroscope and starts it.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$repo/tools/setup.sh"
cmake -S "$repo" -B "$repo/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$repo/build" --target veltroscope
exec "$repo/build/veltroscope" "$@"
