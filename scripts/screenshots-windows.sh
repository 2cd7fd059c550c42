#!/usr/bin/env bash
# Makes the README's pictures of both windows of the Windows program:
# yunque.exe under Wine on a private X server, each window cut out with the
# frame that Wine draws for it, in the Wine prefix of the end-to-end tests.
# usage: scripts/screenshots-windows.sh [BUILD_DIR]   (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/windows}")
export YUNQUE="$build/app/win32/yunque.exe"
export YUNQUE_WINEPREFIX="$build/tests/e2e-windows/wine-prefix"
[[ -f $YUNQUE ]] || { echo "$YUNQUE not found: build the windows preset first" >&2; exit 1; }
source tests/e2e-windows/lib.sh
start_desktop

shoot() { # shoot WINDOW_ID FILE
  local x y size
  read -r x y size < <(geometry "$1")
  sleep 0.5
  import -window root -crop "${size}+${x}+${y}" +repage "$2"
  echo "wrote $2"
}

start_program
statement=$(wait_window "$STATEMENT_TITLE")
shoot "$statement" docs/windows-statement-window.png
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
wait_gone "$STATEMENT_TITLE" "the statement window stayed open"
paste_to "$main" "https://example.invalid/post/123"
key_to "$main" Tab Tab Tab
paste_to "$main" "好评"
key_to "$main" Return
paste_to "$main" "价格"
shoot "$main" docs/windows-main-window.png
key_to "$main" Escape
