#!/usr/bin/env bash
# The keyword box kept in "评论关键词.txt" beside the program, byte for byte,
# from one start of the real program to the next.
source "$(dirname "$0")/lib.sh"
start_desktop

file=$(keyword_file)

# The file's bytes in hex, "missing" when there is no file.
hex() {
  [[ -f $file ]] || { echo missing; return; }
  od -An -tx1 -v "$file" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The program writes as each key arrives; gives it a moment to catch up.
wait_bytes() { # wait_bytes DESCRIPTION HEX
  local i got
  for i in $(seq 100); do
    got=$(hex)
    [[ $got == "$2" ]] && break
    sleep 0.05
  done
  check "$1" "$got" "$2"
}

# Starts the program and accepts the statement; sets main to the main
# window's id. The keyword file has been loaded by the time it shows.
start_main() {
  start_program
  local statement
  statement=$(wait_window "$STATEMENT_TITLE")
  key_to "$statement" space
  main=$(wait_window "$MAIN_TITLE")
  [[ -n $main ]] || fail "no main window"
}

# The focus starts in the address box; the keyword box is three Tabs on.
focus_keyword_box() { key_to "$main" Tab Tab Tab; }

close_main() { # close_main DESCRIPTION
  key_to "$main" Escape
  expect_exit "$1" 0
}

# First start: no file yet, and an empty one as soon as the window is there.
[[ ! -e $file ]] || fail "a keyword file exists before the first start"
start_main
wait_bytes "file after the first start" ""

# a, Enter, b: the four bytes; Esc while typing there ends the program.
focus_keyword_box
key_to "$main" a Return b
wait_bytes "file after typing a, Enter, b" "61 0d 0a 62"
close_main "exit code after Esc in the keyword box"
check "file after closing" "$(hex)" "61 0d 0a 62"

# A restart shows the text: typing at its end extends it.
start_main
focus_keyword_box
key_to "$main" ctrl+End c
wait_bytes "file after a restart and typing c at the end" "61 0d 0a 62 63"
close_main "exit code after the second start"

# A start without edits leaves every byte as it was.
cp "$file" "$work/before"
start_main
sleep 0.3
close_main "exit code after a start without edits"
cmp "$work/before" "$file" || fail "a start without edits changed the file"
echo "ok: a start without edits keeps the file"

# CR LF, LF and CR mixed, code page 936 text (关键词, 测试) and a final CR LF:
# unchanged by a start, and an edit at the end changes only the end.
printf 'x\r\ny\nz\rw\r\n\xb9\xd8\xbc\xfc\xb4\xca\n\xb2\xe2\xca\xd4\r\n' >"$file"
cp "$file" "$work/before"
start_main
sleep 0.3
cmp "$work/before" "$file" || fail "the start changed the mixed file"
echo "ok: the mixed file survives a start"
focus_keyword_box
key_to "$main" ctrl+End q
wait_bytes "mixed file after typing q at the end" \
  "78 0d 0a 79 0a 7a 0d 77 0d 0a b9 d8 bc fc b4 ca 0a b2 e2 ca d4 0d 0a 71"
close_main "exit code after editing the mixed file"
echo "keyword file: all passed"
