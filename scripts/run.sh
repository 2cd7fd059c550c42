#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake --preset default >/dev/null
cmake --build --preset default --target yunque

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "yunque is built (build/default/app/yunque), but there is no graphical display to start it on." >&2
  echo "Run this from a desktop session (DISPLAY is not set)." >&2
  exit 2
fi
exec build/default/app/yunque
