#!/usr/bin/env bash
# On a screen smaller than the main window the centring formula gives a
# negative corner, and the window is placed there as computed.
SCREEN_SIZE=640x400
source "$(dirname "$0")/lib.sh"
start_desktop
start_program
statement=$(wait_window "$STATEMENT_TITLE")
read -r x y size < <(frame_geometry "$statement")
check "statement position on 640x400" "$x $y" "$(centred 258 213)"
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
read -r x y size < <(frame_geometry "$main")
check "main frame size on 640x400" "$size" "724x443"
check "main position on 640x400" "$x $y" "-42 -21"
key_to "$main" Escape
expect_exit "exit code" 0
