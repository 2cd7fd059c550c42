#!/usr/bin/env bash
# The keyword box of the Windows program kept in "评论关键词.txt" beside the
# program, byte for byte: typed lines, pasted Chinese text and characters
# beyond code page 936, and files that an untouched run must leave alone.
source "$(dirname "$0")/lib.sh"
start_desktop

file=$(keyword_file)

# The program writes as each key arrives; gives it a moment to catch up.
wait_bytes() { # wait_bytes DESCRIPTION HEX
  local i got
  for i in $(seq 200); do
    got=$(hex_of "$file")
    [[ $got == "$2" ]] && break
    sleep 0.05
  done
  check "$1" "$got" "$2"
}

# The focus starts in the address box; the keyword box is three Tabs on.
focus_keyword_box() { key_to "$main" Tab Tab Tab; }

# Esc in the keyword box closes the window: a multi-line edit box must not
# keep it for itself.
close_main() { # close_main DESCRIPTION
  key_to "$main" Escape
  expect_exit "$1" 0
}

# Starts again with the keyword file of the last run.
restart_main() {
  cp "$file" "$work/kept"
  start_main "$work/kept"
}

# First start: no file yet, and an empty one once the window is there.
start_main
wait_bytes "file after the first start" ""

# a, Enter, b: the four bytes, CR LF for Enter.
focus_keyword_box
key_to "$main" a Return b
wait_bytes "file after typing a, Enter, b" "61 0d 0a 62"
close_main "exit code after Esc in the keyword box"
check "file after closing" "$(hex_of "$file")" "61 0d 0a 62"

# Pasted after a restart, at the end of the loaded text: Chinese text and
# the euro sign in their code page 936 bytes (Python's gbk lacks the euro
# sign, which code page 936 has at 0x80), characters the code page lacks (a
# sign of the Basic Multilingual Plane, an emoji) in their GB18030 bytes.
pasted='关键词€©😀'
expected=$(python3 - "$pasted" <<'PY'
import sys
def encode(c):
    if c == '\u20ac':
        return b'\x80'
    try:
        return c.encode('gbk')
    except UnicodeEncodeError:
        return c.encode('gb18030')
data = b'a\r\nb\r\n' + b''.join(encode(c) for c in sys.argv[1])
print(' '.join('%02x' % b for b in data))
PY
)
restart_main
focus_keyword_box
key_to "$main" ctrl+End Return
paste_to "$main" "$pasted"
wait_bytes "file after pasting '$pasted'" "$expected"
close_main "exit code after pasting"

# A start without edits reads those bytes back and leaves them as they were.
cp "$file" "$work/before"
restart_main
sleep 0.5
close_main "exit code after a start without edits"
check "pasted text after a start without edits" "$(hex_of "$file")" "$(hex_of "$work/before")"

# Files no editor of this program would write: an untouched run leaves each
# byte for byte; where the text has no NUL, typing q at its end appends
# exactly the byte 71.
hostile_cases=(
  'mixed breaks|x\r\ny\nz\rw\r\n\r\r\n\n\n\r'
  'bytes that start no character|\x80a\xffb\xa1\r\n\xfe\xfe\x81\x30\x81'
  'a lead byte before CR and before LF|\xb9\r\xd8\n\xb9\r\n'
  'a NUL inside|ab\x00cd\r\n\xb2\xe2'
)
for case in "${hostile_cases[@]}"; do
  name=${case%%|*}
  printf "${case#*|}" >"$work/hostile"
  start_main "$work/hostile"
  sleep 0.5
  close_main "exit code with $name"
  cmp "$work/hostile" "$file" || fail "a start without edits changed the file with $name: $(hex_of "$file")"
  echo "ok: the file with $name survives a start"
  [[ $name == *NUL* ]] && continue
  start_main "$work/hostile"
  focus_keyword_box
  key_to "$main" ctrl+End q
  wait_bytes "file with $name after typing q at the end" "$(hex_of "$work/hostile") 71"
  close_main "exit code after editing the file with $name"
done
echo "keyword file: all passed"
