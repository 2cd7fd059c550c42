#!/usr/bin/env bash
# The statement window of the Windows program as a person meets it: its
# frame and place, no taskbar entry, Enter ignored, and each way of declining
# it (Esc, Alt+F4, the close box, Close on the system menu) ends the program
# without a keyword file.
source "$(dirname "$0")/lib.sh"
start_desktop

for way in escape alt-f4 close-box system-menu enter-then-escape; do
  start_program
  id=$(wait_window "$STATEMENT_TITLE")
  if [[ $way == escape ]]; then
    read -r x y size < <(geometry "$id")
    check "statement window size" "$size" "258x213"
    check "statement window position" "$x $y" "$(centred 258 213)"
    state=$(net_wm_state "$id")
    [[ $state == *_NET_WM_STATE_SKIP_TASKBAR* ]] || fail "statement window is on the taskbar: '$state'"
    [[ $state != *_NET_WM_STATE_ABOVE* ]] || fail "statement window is kept on top"
    echo "ok: statement window off the taskbar"
  fi
  case $way in
    escape) key_to "$id" Escape ;;
    alt-f4) key_to "$id" alt+F4 ;;
    close-box) click_close_box "$id" ;;
    system-menu) key_to "$id" alt+space c ;;
    enter-then-escape)
      key_to "$id" Return KP_Enter
      sleep 0.5
      kill -0 "$program_pid" 2>/dev/null || fail "Enter ended the program"
      window_gone "$MAIN_TITLE" || fail "Enter opened the main window"
      window_gone "$STATEMENT_TITLE" && fail "Enter closed the statement window"
      key_to "$id" Escape ;;
  esac
  expect_exit "exit code after $way" 0
  check "program folder after declining by $way" "$(ls -A "$work/app")" "yunque.exe"
done
echo "statement window: all passed"
