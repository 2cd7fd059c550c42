#!/usr/bin/env bash
# Out of memory in a handler: the report is shown, nothing else of the
# program runs while it is up, and the program ends once it is closed.
set -u
output=$(QT_QPA_PLATFORM=offscreen timeout 60 "$1" 2>/dev/null)
code=$?
echo "$output" | uniq -c
[[ $code -eq 1 ]] || { echo "FAIL: exit code $code, expected 1"; exit 1; }
grep -qx 'report shown: 云雀速录 | 内存不足，程序将退出。' <<<"$output" || { echo "FAIL: no report"; exit 1; }
grep -q '^tick$' <<<"$output" || { echo "FAIL: the timer never ran before"; exit 1; }
after=$(sed -n '/^report shown/,$p' <<<"$output" | tail -n +2)
[[ -z $after ]] || { echo "FAIL: the program went on after the report: $after"; exit 1; }
echo "fatal error report: passed"
