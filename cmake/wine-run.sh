#!/usr/bin/env bash
# Runs Windows programs of the cross-build under Wine, in a Wine prefix of the
# build's own (never ~/.wine), with the settings the Windows tests expect:
#   - WINEDEBUG=-all and no offer to install Mono or Gecko (mscoree, mshtml
#     disabled), so a new prefix is made silently in a few seconds;
#   - the zh_CN.UTF-8 locale, which gives programs code page 936 as their
#     ANSI code page and Chinese system dialogs, as on a Chinese Windows.
#
# usage: wine-run.sh PREFIX PROGRAM [ARGUMENT...]   run PROGRAM
#        wine-run.sh PREFIX --start                 make the prefix if needed and
#                                                   start its server and services
#        wine-run.sh PREFIX --stop                  stop them
#
# Without --start, every program started by ctest would start its own Wine
# server and services; they outlive the program with ctest's output pipes
# open, and ctest waits for those pipes (seconds per test).
set -euo pipefail

[[ $# -ge 2 ]] || { sed -n '/^# usage/,/^#$/p' "$0" >&2; exit 2; }
prefix=$(realpath -m "$1")
shift

locale=zh_CN.UTF-8
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=$locale LC_ALL=$locale

case $1 in
  --start)
    for tool in wine wineserver; do
      command -v "$tool" >/dev/null || { echo "$tool not found: scripts/install-deps.sh test installs it" >&2; exit 1; }
    done
    if ! locale -a | grep -qix 'zh_CN\.utf-\?8'; then
      echo "locale $locale missing: run scripts/install-deps.sh test, or localedef -i zh_CN -f UTF-8 $locale" >&2
      exit 1
    fi
    mkdir -p "$prefix"
    log=$prefix/start.log
    # A server left by an interrupted run may have other settings: replace it.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    # The server and the services it starts must not hold the caller's
    # output open: ctest would wait for them.
    if ! wineserver -p </dev/null >"$log" 2>&1; then
      cat "$log" >&2
      exit 1
    fi
    # The first program makes a new prefix and starts Wine's services, which
    # the test programs then share. This one also makes a crashing program
    # print its backtrace and end instead of waiting for someone to close
    # Wine's crash dialog.
    if ! wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >>"$log" 2>&1; then
      cat "$log" >&2
      exit 1
    fi
    ;;
  --stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    ;;
  *)
    exec wine "$@"
    ;;
esac
