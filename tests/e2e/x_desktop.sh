# A private X server with a window manager, shared by the end-to-end tests
# of both programs. Source it after defining:
#   work                 a folder of the test's own
#   pids                 an array of processes to end at exit
#   SCREEN_SIZE          the screen, e.g. 1024x768
#   fail MESSAGE         ends the test
#   start_window_manager starts the window manager in the background on
#                        DISPLAY, sets wm_pid, and logs to $work/wm.log
# Exports DISPLAY and XDG_RUNTIME_DIR.

# On a busy machine a window manager now and then fails to open a display
# that its X server has just announced; that is not the program under test
# failing, so a fresh X server is tried then, up to three times.
start_x_desktop() {
  local attempt
  for attempt in 1 2 3; do
    try_x_desktop && return 0
    echo "attempt $attempt: $desktop_error" >&2
  done
  fail "$desktop_error"
}

# One X server with the window manager; sets desktop_error and fails when
# either is not ready, leaving neither running.
try_x_desktop() {
  local i xvfb
  : >"$work/display"
  Xvfb -displayfd 9 -screen 0 "${SCREEN_SIZE}x24" -dpi 96 -nolisten tcp 9>"$work/display" 2>"$work/xvfb.log" &
  xvfb=$!
  pids+=("$xvfb")
  for i in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.05; done
  if [[ ! -s $work/display ]]; then
    desktop_error="Xvfb did not start: $(cat "$work/xvfb.log")"
    stop_processes "$xvfb"
    return 1
  fi
  export DISPLAY=":$(head -n1 "$work/display")"
  export XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 -p "$XDG_RUNTIME_DIR"
  unset WAYLAND_DISPLAY
  start_window_manager
  pids+=("$wm_pid")
  for i in $(seq 300); do
    timeout 5 xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  desktop_error="the window manager did not start on $DISPLAY: $(cat "$work/wm.log"); X server: $(cat "$work/xvfb.log")"
  stop_processes "$wm_pid" "$xvfb"
  return 1
}

# Ends the processes and waits until they are gone.
stop_processes() {
  kill "$@" 2>/dev/null || true
  wait "$@" 2>/dev/null || true
}
