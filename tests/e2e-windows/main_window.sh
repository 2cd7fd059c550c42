#!/usr/bin/env bash
# Accepting the statement opens the main window: its frame and place, the
# tab order seen by typing into the edit boxes, Enter ignored outside the
# keyword box, and Esc, Alt+F4, the close box and Close on the system menu
# ending the program.
source "$(dirname "$0")/lib.sh"
start_desktop

start_main
read -r x y size < <(geometry "$main")
check "main window size" "$size" "724x443"
check "main window position" "$x $y" "$(centred 724 443)"
state=$(net_wm_state "$main")
[[ $state != *SKIP_TASKBAR* ]] || fail "main window has no taskbar entry: '$state'"
echo "ok: main window on the taskbar"

# The text of the focused one-line edit box, selected with the keys of any
# edit control and copied through the clipboard.
focused_text() {
  printf 'clipboard before the copy' | xclip -selection clipboard -t UTF8_STRING -i >/dev/null 2>&1
  key_to "$main" End shift+Home ctrl+c
  local i text
  for i in $(seq 40); do
    text=$(xclip -selection clipboard -o 2>/dev/null || true)
    [[ $text != 'clipboard before the copy' ]] && break
    sleep 0.05
  done
  echo "$text"
}

# The focus starts in the address box. Tab visits the start button and the
# list before the keyword box, then the export button, then wraps; the
# keyword box takes no Tab. Each edit box is typed into at its end.
file=$(keyword_file)
key_to "$main" a
key_to "$main" Tab Tab Tab ctrl+End b
key_to "$main" Tab Tab ctrl+End c
check "address box after a Tab round" "$(focused_text)" "ac"
key_to "$main" shift+Tab shift+Tab ctrl+End d
sleep 0.3
check "keyword file after typing b and, back by Shift+Tab, d" "$(hex_of "$file")" "62 64"

# Enter does nothing in the address box, on the start button or on the
# export button (which would open the save dialog if Enter pressed it).
key_to "$main" Tab Tab ctrl+End Return
sleep 0.3
check "address box after Enter" "$(focused_text)" "ac"
key_to "$main" Tab Return
key_to "$main" shift+Tab shift+Tab Return
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "Enter ended the program"
window_gone "$SAVE_DIALOG_TITLE" || fail "Enter on the export button opened the save dialog"
window_gone "$MAIN_TITLE" && fail "Enter closed the main window"
check "keyword file after Enter elsewhere" "$(hex_of "$file")" "62 64"
echo "ok: Enter ignored outside the keyword box"

# Esc while typing in the address box closes the window and ends the program.
key_to "$main" Tab x Escape
expect_exit "exit code after Esc in the address box" 0

for way in alt-f4 close-box system-menu; do
  start_main
  case $way in
    alt-f4) key_to "$main" alt+F4 ;;
    close-box) click_close_box "$main" ;;
    system-menu) key_to "$main" alt+space c ;;
  esac
  expect_exit "exit code after $way on the main window" 0
done
echo "main window: all passed"
