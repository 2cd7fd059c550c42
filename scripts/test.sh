#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: once in a normal
# build with warnings as errors, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the core and its tests built for Windows
# and run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

for preset in ci asan windows; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset" -j2
done
