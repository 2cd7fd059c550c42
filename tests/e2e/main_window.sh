#!/usr/bin/env bash
# Accepting the statement opens the main window; its frame, keys and end.
source "$(dirname "$0")/lib.sh"
start_desktop

# Space on the focused button accepts.
start_program
statement=$(wait_window "$STATEMENT_TITLE")
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
for i in $(seq 100); do window_gone "$STATEMENT_TITLE" && break; sleep 0.05; done
window_gone "$STATEMENT_TITLE" || fail "the statement window stayed open"

read -r x y size < <(frame_geometry "$main")
check "main frame size" "$size" "724x443"
check "main position" "$x $y" "$(centred 724 443)"
state=$(net_wm_state "$main")
[[ $state != *SKIP_TASKBAR* ]] || fail "main window has no taskbar button: $state"
[[ $state != *_NET_WM_STATE_MODAL* ]] || fail "main window is modal"
read -r min max < <(size_hints "$main")
[[ -n $min && $min == "$max" ]] || fail "main window can be resized: min '$min' max '$max'"
xprop -id "$main" _NET_WM_ALLOWED_ACTIONS | grep -q MAXIMIZE && fail "main window can be maximised"
echo "ok: main window fixed, not maximisable, on the taskbar"

# Enter in the address box does nothing; Esc while typing there closes.
type_to "$main" "https://example.invalid/post"
key_to "$main" Return
sleep 0.3
kill -0 "$program_pid" || fail "Enter ended the program"
key_to "$main" Escape
expect_exit "exit code after Esc in the address box" 0

# Alt+F4 closes the main window and ends the program, as does the close box.
for way in alt-f4 close-box; do
  start_program
  statement=$(wait_window "$STATEMENT_TITLE")
  xdotool mousemove --window "$statement" 115 146 click 1
  main=$(wait_window "$MAIN_TITLE")
  case $way in
    alt-f4) key_to "$main" alt+F4 ;;
    close-box) wmctrl -i -c "$main" ;;
  esac
  expect_exit "exit code after $way on the main window" 0
done
echo "main window: all passed"
