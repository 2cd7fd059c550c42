# Shared helpers of the end-to-end tests: a private X server with a window
# manager, the program started from a fresh folder, and ways to look at its
# windows as the window manager sees them. Source it; it cleans up on exit.
set -euo pipefail

: "${YUNQUE:?path of the built program}"
SCREEN_SIZE=${SCREEN_SIZE:-1024x768}
WINDOW_MANAGER=${WINDOW_MANAGER:-openbox}

work=$(mktemp -d /tmp/yunque-e2e.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
check() { # check DESCRIPTION ACTUAL EXPECTED
  [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
  echo "ok: $1 = $3"
}

source "$(dirname "${BASH_SOURCE[0]}")/x_desktop.sh"

start_window_manager() {
  case $WINDOW_MANAGER in
    openbox) openbox --sm-disable --config-file /dev/null >"$work/wm.log" 2>&1 & ;;
    # Fluxbox writes its settings into the home folder on its first start.
    # Its style's wallpaper would pop up a message window about a missing
    # image tool, on top of the program's windows: no wallpaper, no toolbar.
    fluxbox)
      echo 'background: none' >"$work/fluxbox-overlay"
      printf '%s\n' "session.styleOverlay: $work/fluxbox-overlay" 'session.screen0.toolbar.visible: false' \
        >"$work/fluxbox-init"
      HOME=$work/home fluxbox -rc "$work/fluxbox-init" >"$work/wm.log" 2>&1 & ;;
    *) fail "unknown window manager '$WINDOW_MANAGER'" ;;
  esac
  wm_pid=$!
}

# The X server and the window manager.
start_desktop() {
  unset QT_QPA_PLATFORM
  start_x_desktop
}

# Copies the program into a fresh folder and starts it from another folder.
start_program() {
  mkdir -p "$work/app"
  cp "$YUNQUE" "$work/app/yunque"
  (cd / && exec "$work/app/yunque") >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
}

keyword_file() { echo "$work/app/评论关键词.txt"; }

# Waits for a mapped window with exactly this title; prints its id.
wait_window() {
  local title=$1 id i
  for i in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.05
  done
  fail "no window titled '$title' appeared; program log: $(cat "$work/program.log")"
}

window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

# Frame extents as "left right top bottom".
frame_extents() {
  local i line
  for i in $(seq 100); do
    line=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ',')
    [[ -n $line ]] && { echo "$line"; return 0; }
    sleep 0.05
  done
  fail "window $1 has no _NET_FRAME_EXTENTS"
}

# The frame's geometry as "X Y WIDTHxHEIGHT", from the client's position and
# size and the frame extents the window manager reports.
frame_geometry() {
  local id=$1 left right top bottom x y w h
  read -r left right top bottom < <(frame_extents "$id")
  x=$(xwininfo -id "$id" | sed -n 's/.*Absolute upper-left X: *//p')
  y=$(xwininfo -id "$id" | sed -n 's/.*Absolute upper-left Y: *//p')
  w=$(xwininfo -id "$id" | sed -n 's/.*Width: *//p')
  h=$(xwininfo -id "$id" | sed -n 's/.*Height: *//p')
  echo "$((x - left)) $((y - top)) $((w + left + right))x$((h + top + bottom))"
}

centred() { # centred OUTER_W OUTER_H -> "X Y", halves with the fraction dropped
  local sw=${SCREEN_SIZE%x*} sh=${SCREEN_SIZE#*x}
  echo "$(((sw - $1) / 2)) $(((sh - $2) / 2))"
}

net_wm_state() { xprop -id "$1" _NET_WM_STATE | sed -n 's/.*= //p'; }

# Minimum and maximum size from WM_NORMAL_HINTS, as "MIN MAX".
size_hints() {
  local hints min max
  hints=$(xprop -id "$1" WM_NORMAL_HINTS)
  min=$(sed -n 's/.*program specified minimum size: *//p' <<<"$hints")
  max=$(sed -n 's/.*program specified maximum size: *//p' <<<"$hints")
  echo "${min// by /x} ${max// by /x}"
}

# Gives the window the focus the way a click on it would, then types.
key_to() { local id=$1; shift; xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true; xdotool key --clearmodifiers "$@"; }
type_to() { local id=$1; shift; xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true; xdotool type --delay 30 "$@"; }

# Waits for the program to end and checks how it ended.
expect_exit() { # expect_exit DESCRIPTION CODE
  local i code=0
  for i in $(seq 200); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$program_pid" 2>/dev/null && fail "$1: the program did not end"
  wait "$program_pid" || code=$?
  check "$1" "$code" "$2"
}

STATEMENT_TITLE='公众号:青禾馆'
MAIN_TITLE='公众号:青禾馆-云雀速录'
