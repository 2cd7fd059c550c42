#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
# The run preset builds the program alone: no tests, so no GoogleTest.
cmake --preset run >/dev/null
cmake --build --preset run

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "yunque is built (build/run/app/yunque), but there is no graphical display to start it on." >&2
  echo "Run this from a desktop session (DISPLAY is not set)." >&2
  exit 2
fi
exec build/run/app/yunque
