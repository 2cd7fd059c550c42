#!/usr/bin/env bash
# The export button in the real window: the save dialog opens, a name typed
# without an extension gets .xls, the file holds the header row of the results
# list; cancelling with Esc writes nothing and leaves the main window open; a
# full path typed into the name box arrives whole.
source "$(dirname "$0")/lib.sh"
start_desktop

header_row=09080800000010000000000004020c000000000000000400d0f2bac504020c000000010000000400eac7b3c6
header_row+=04020c000000020000000400d5cbbac504020b000000030000000300756964040210000000040000000800
header_row+=c6c0c2dbc4dac8dd0a000000

start_program
statement=$(wait_window "$STATEMENT_TITLE")
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
mkdir -p "$work/out"

press_export() {
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  xdotool mousemove --window "$main" 39 393 click 1
}

# Esc in the dialog cancels it, and only it.
press_export
dialog=$(wait_window '另存为')
key_to "$dialog" Escape
for i in $(seq 100); do window_gone '另存为' && break; sleep 0.05; done
window_gone '另存为' || fail "Esc did not close the save dialog"
sleep 0.3
kill -0 "$program_pid" || fail "Esc in the dialog ended the program"
[[ -z $(ls -A "$work/out") ]] || fail "cancelling wrote a file"
echo "ok: cancel writes nothing and keeps the main window"

press_export
dialog=$(wait_window '另存为')
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$work/out/result"
xdotool key --clearmodifiers Return
for i in $(seq 100); do [[ -s $work/out/result.xls ]] && break; sleep 0.05; done
[[ -s $work/out/result.xls ]] || fail "no file result.xls was written: $(ls -A "$work/out")"
check "exported bytes" "$(od -An -v -tx1 "$work/out/result.xls" | tr -d ' \n')" "$header_row"

# A full path typed as a person might: "/proc" slowly, where the toolkit's
# completer would pop up, then on through it to the output folder quickly.
# The name box gets every key.
press_export
dialog=$(wait_window '另存为')
xdotool windowactivate --sync "$dialog" >/dev/null 2>&1 || true
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 400 "/proc"
sleep 0.5
xdotool type --delay 12 "/..$work/out/typed"
xdotool key --clearmodifiers Return
for i in $(seq 100); do [[ -s $work/out/typed.xls ]] && break; sleep 0.05; done
[[ -s $work/out/typed.xls ]] || fail "the typed path lost keys: $(ls -A "$work/out")"
echo "ok: a full path typed slowly, then quickly, arrives whole"

key_to "$main" Escape
expect_exit "exit code" 0
echo "export: all passed"
