#!/usr/bin/env bash
# Makes the README's pictures of both windows: the built program on a
# private X server with a window manager, each window cut out with its frame.
# usage: scripts/screenshots.sh [BUILD_DIR]   (default: build/run, as scripts/run.sh builds it)
set -euo pipefail
repository=$(realpath "$(dirname "$0")/..")
# A build folder given relative to where the script was started from.
build=$(realpath "${1:-$repository/build/run}")
cd "$repository"
export YUNQUE="$build/app/yunque"
source tests/e2e/lib.sh
start_desktop

shoot() { # shoot WINDOW_ID FILE
  local x y size
  read -r x y size < <(frame_geometry "$1")
  sleep 0.5
  import -window root -crop "${size}+${x}+${y}" +repage "$2"
  echo "wrote $2"
}

start_program
statement=$(wait_window "$STATEMENT_TITLE")
shoot "$statement" docs/statement-window.png
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
type_to "$main" "https://example.invalid/post/123"
key_to "$main" Tab Tab Tab
type_to "$main" "好评"
key_to "$main" Return
type_to "$main" "价格"
shoot "$main" docs/main-window.png
key_to "$main" Escape
