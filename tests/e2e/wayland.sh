#!/usr/bin/env bash
# On a Wayland desktop with an X server beside it the program opens its
# windows on the X server, where they can be placed and kept off the taskbar;
# it uses Wayland only when no X server can be reached, or when
# QT_QPA_PLATFORM asks for it.
source "$(dirname "$0")/lib.sh"
start_desktop
weston --backend=headless-backend.so --socket=yunque-wayland --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
for i in $(seq 100); do [[ -S $XDG_RUNTIME_DIR/yunque-wayland ]] && break; sleep 0.05; done
[[ -S $XDG_RUNTIME_DIR/yunque-wayland ]] || fail "weston did not start: $(cat "$work/weston.log")"
export WAYLAND_DISPLAY=yunque-wayland XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME

start_program
statement=$(wait_window "$STATEMENT_TITLE")
echo "ok: the statement window is an X11 window beside the compositor"
key_to "$statement" Escape
expect_exit "exit code on X11" 0

# On Wayland the statement window shows up as a toplevel with its title in
# the client's protocol log.
expect_wayland() { # expect_wayland DESCRIPTION
  local i
  for i in $(seq 200); do
    grep -q "set_title(\"$STATEMENT_TITLE\")" "$work/program.log" && break
    sleep 0.05
  done
  grep -q "set_title(\"$STATEMENT_TITLE\")" "$work/program.log" ||
    fail "$1: no Wayland toplevel; program log: $(tail -n 5 "$work/program.log")"
  window_gone "$STATEMENT_TITLE" || fail "$1: the statement window is on the X server"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  echo "ok: $1"
}

QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client start_program
expect_wayland "QT_QPA_PLATFORM=wayland is obeyed"

DISPLAY=:unreachable WAYLAND_DEBUG=client start_program
expect_wayland "without a reachable X server the program uses Wayland"
echo "wayland: all passed"
