#!/usr/bin/env bash
# The statement window as a person meets it, declined in each way a window
# can be closed: nothing else is shown and nothing is written.
source "$(dirname "$0")/lib.sh"
start_desktop

for way in escape alt-f4 close-box enter-then-escape; do
  start_program
  id=$(wait_window "$STATEMENT_TITLE")
  if [[ $way == escape ]]; then
    read -r x y size < <(frame_geometry "$id")
    check "statement frame size" "$size" "258x213"
    check "statement position" "$x $y" "$(centred 258 213)"
    state=$(net_wm_state "$id")
    [[ $state == *_NET_WM_STATE_SKIP_TASKBAR* ]] || fail "statement window is on the taskbar: $state"
    [[ $state == *_NET_WM_STATE_MODAL* ]] || fail "statement window is not modal: $state"
    [[ $state != *_NET_WM_STATE_ABOVE* ]] || fail "statement window is kept on top"
    read -r min max < <(size_hints "$id")
    [[ -n $min && $min == "$max" ]] || fail "statement window can be resized: min '$min' max '$max'"
    echo "ok: statement window off the taskbar, modal, fixed size"
  fi
  case $way in
    escape) key_to "$id" Escape ;;
    alt-f4) key_to "$id" alt+F4 ;;
    close-box) wmctrl -i -c "$id" ;;
    enter-then-escape)
      key_to "$id" Return
      sleep 0.5
      kill -0 "$program_pid" || fail "Enter ended the program"
      window_gone "$MAIN_TITLE" || fail "Enter opened the main window"
      key_to "$id" KP_Enter
      sleep 0.3
      window_gone "$MAIN_TITLE" || fail "keypad Enter opened the main window"
      key_to "$id" Escape ;;
  esac
  expect_exit "exit code after $way" 0
  [[ ! -e $(keyword_file) ]] || fail "declining by $way touched the keyword file"
  grep -q . "$work/program.log" && echo "program said: $(cat "$work/program.log")"
done
echo "statement window: all passed"
