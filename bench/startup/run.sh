#!/usr/bin/env bash
# Runs the start-up benchmark on a private X server with a window manager.
# usage: bench/startup/run.sh BUILD_DIR [ROUNDS]
build=${1:-build/default}
export YUNQUE="$build/app/yunque"
source "$(dirname "$0")/../../tests/e2e/lib.sh"
start_desktop
mkdir -p "$work/app"
cp "$YUNQUE" "$work/app/yunque"
"$build/bench/startup/bench_startup" "$work/app/yunque" "$build/bench/startup/bench_minimal_dialog" "${2:-15}"
