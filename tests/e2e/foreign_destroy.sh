#!/usr/bin/env bash
# Another client destroys a window of the program: the program ends with its
# last window however it went, also while the save dialog is open.
source "$(dirname "$0")/lib.sh"
: "${DESTROY_WINDOW:?path of the destroy_window helper}"
start_desktop

start_program
statement=$(wait_window "$STATEMENT_TITLE")
"$DESTROY_WINDOW" "$statement"
expect_exit "exit code after the statement window was destroyed" 0

start_program
statement=$(wait_window "$STATEMENT_TITLE")
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool mousemove --window "$main" 39 393 click 1
wait_window '另存为' >/dev/null
"$DESTROY_WINDOW" "$main"
expect_exit "exit code after the main window was destroyed under the save dialog" 0
echo "foreign destroy: all passed"
