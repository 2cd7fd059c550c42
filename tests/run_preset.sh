#!/usr/bin/env bash
# The run command (scripts/run.sh) has only the packages of
# `scripts/install-deps.sh run`, without GoogleTest: its preset must
# configure with GoogleTest out of reach.
# usage: run_preset.sh CMAKE
set -euo pipefail
cmake=$1
cd "$(dirname "$0")/.."
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
if ! "$cmake" --preset run -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=TRUE >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  echo "FAIL: the run preset does not configure without GoogleTest"
  exit 1
fi
echo "run_preset: passed"
