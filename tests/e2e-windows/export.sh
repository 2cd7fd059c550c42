#!/usr/bin/env bash
# The export button of the Windows program through the real save dialog:
# cancelling with Esc writes nothing and keeps the main window; a name typed
# without an extension is saved with .xls added, in the program's folder
# (the dialog's initial folder), holding the results list's header row; the
# next export offers that path again.
source "$(dirname "$0")/lib.sh"
start_desktop

# A worksheet of one row, the five column titles in code page 936.
header_row=09080800000010000000000004020c000000000000000400d0f2bac504020c000000010000000400eac7b3c6
header_row+=04020c000000020000000400d5cbbac504020b000000030000000300756964040210000000040000000800
header_row+=c6c0c2dbc4dac8dd0a000000

start_main
# Clicks 导出表格 (client area 7, 379, 64 x 29) in the middle.
press_export() { click_client "$main" 39 393; }

press_export
dialog=$(wait_window "$SAVE_DIALOG_TITLE")
key_to "$dialog" Escape
wait_gone "$SAVE_DIALOG_TITLE" "Esc did not close the save dialog"
sleep 0.3
kill -0 "$program_pid" 2>/dev/null || fail "Esc in the dialog ended the program"
window_gone "$MAIN_TITLE" && fail "Esc in the dialog closed the main window"
check "program folder after cancelling" "$(ls -A "$work/app" | LC_ALL=C sort | tr '\n' ' ')" "yunque.exe 评论关键词.txt "

press_export
dialog=$(wait_window "$SAVE_DIALOG_TITLE")
paste_to "$dialog" result
key_to "$dialog" Return
wait_gone "$SAVE_DIALOG_TITLE" "Enter did not close the save dialog"
exported="$work/app/result.xls"
for i in $(seq 100); do [[ -s $exported ]] && break; sleep 0.05; done
[[ -s $exported ]] || fail "no file result.xls beside the program: $(ls -A "$work/app")"
check "exported bytes" "$(od -An -v -tx1 "$exported" | tr -d ' \n')" "$header_row"

# The next export offers the accepted path again (the dialog opens in its
# folder and shows its name); cancelling it leaves the file as it was.
press_export
dialog=$(wait_window "$SAVE_DIALOG_TITLE")
printf 'clipboard before the copy' | xclip -selection clipboard -t UTF8_STRING -i >/dev/null 2>&1
key_to "$dialog" End shift+Home ctrl+c
for i in $(seq 40); do
  offered=$(xclip -selection clipboard -o 2>/dev/null || true)
  [[ $offered != 'clipboard before the copy' ]] && break
  sleep 0.05
done
check "name offered by the next export" "$offered" "result.xls"
key_to "$dialog" Escape
wait_gone "$SAVE_DIALOG_TITLE" "Esc did not close the save dialog"
check "exported bytes after a cancelled export" "$(od -An -v -tx1 "$exported" | tr -d ' \n')" "$header_row"

key_to "$main" Escape
expect_exit "exit code" 0
echo "export: all passed"
