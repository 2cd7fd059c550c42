# Shared helpers of the end-to-end tests of the Windows program: a private X
# server with a window manager, Wine in a prefix of the tests' own, the
# program copied into a fresh folder and started there, and ways to look at
# its windows and to type into them. Source it; it cleans up on exit.
#
# Wine draws the Windows frame itself (the X11 driver's Decorated = N), so an
# X window is exactly a window's Windows rectangle: frame, caption and all.
#
# Environment: YUNQUE (yunque.exe), YUNQUE_WINEPREFIX (the prefix, made on
# first use), SCREEN_SIZE (optional).
set -euo pipefail

: "${YUNQUE:?path of the built yunque.exe}"
: "${YUNQUE_WINEPREFIX:?path of the Wine prefix of these tests}"
# Both differences to the window sizes (258x213 and 724x443) are odd, so
# the centring drops a half pixel on each axis.
SCREEN_SIZE=${SCREEN_SIZE:-1023x768}

STATEMENT_TITLE='公众号:青禾馆'
MAIN_TITLE='公众号:青禾馆-云雀速录'
SAVE_DIALOG_TITLE='另存为'

fail() { echo "FAIL: $*" >&2; exit 1; }
check() { # check DESCRIPTION ACTUAL EXPECTED
  [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
  echo "ok: $1 = $3"
}
skip() { echo "SKIP: $*"; exit 77; }

locale=zh_CN.UTF-8
marlett=/usr/share/wine/fonts/marlett.ttf
for tool in wine wineserver Xvfb openbox xdotool xclip xprop xwininfo python3; do
  command -v "$tool" >/dev/null || skip "$tool not found: scripts/install-deps.sh test installs it"
done
[[ -f $marlett ]] || skip "$marlett not found: scripts/install-deps.sh test installs fonts-wine"
# Wine takes a program's code page from the locale: zh_CN gives code page
# 936 and Chinese system dialogs, as on a Chinese Windows.
if ! locale -a | grep -qix 'zh_CN\.utf-\?8'; then
  localedef -i zh_CN -f UTF-8 "$locale" 2>/dev/null ||
    skip "locale $locale missing and cannot be made: scripts/install-deps.sh test makes it"
fi

export WINEPREFIX
WINEPREFIX=$(realpath -m "$YUNQUE_WINEPREFIX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=$locale LC_ALL=$locale
unset WINEARCH WINELOADER

work=$(mktemp -d /tmp/yunque-e2e-windows.XXXXXX)
pids=()
wine_started=false
cleanup() {
  local pid
  if $wine_started; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
  fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A test timeout ends the script with SIGTERM: clean up then too, or Wine's
# server and the X server would outlive it.
trap 'exit 1' TERM INT HUP

# One copy for every start of this script, so that all of them run the same
# program even if the build replaces it meanwhile.
[[ -f $YUNQUE ]] || fail "$YUNQUE not found"
cp "$YUNQUE" "$work/yunque.exe"

source "$(dirname "${BASH_SOURCE[0]}")/../e2e/x_desktop.sh"

# An empty configuration: no key bindings of its own (Alt+F4 and Alt+Space
# reach the program) and no error window about a missing one.
start_window_manager() {
  echo '<openbox_config xmlns="http://openbox.org/3.4/rc"/>' >"$work/openbox.xml"
  openbox --sm-disable --config-file "$work/openbox.xml" >"$work/wm.log" 2>&1 &
  wm_pid=$!
}

# The X server and the window manager, then Wine's server and, on first
# use, the prefix.
start_desktop() {
  start_x_desktop
  start_wine
}

start_wine() {
  mkdir -p "$WINEPREFIX"
  # A server left by an interrupted run keeps its programs on an X server
  # that is gone: replace it.
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
  # Started once, so that every program of this script shares it and the
  # services that the first one starts; its output must not hold the
  # caller's pipes open.
  wineserver -p </dev/null >/dev/null 2>&1 || fail "wineserver did not start"
  wine_started=true
  if [[ ! -f $WINEPREFIX/.yunque-e2e-ready ]]; then
    echo "making the Wine prefix $WINEPREFIX"
    local reg=(wine reg add)
    # No window frame from the window manager: Wine draws the Windows one.
    "${reg[@]}" 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >>"$work/prefix.log" 2>&1 ||
      fail "could not make the prefix: $(cat "$work/prefix.log")"
    # A crashing program prints its backtrace and ends instead of waiting
    # for someone to close Wine's crash dialog.
    "${reg[@]}" 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >>"$work/prefix.log" 2>&1 ||
      fail "could not make the prefix: $(cat "$work/prefix.log")"
    # The caption buttons are glyphs of this font; without it in the
    # prefix's font folder they are drawn as letters.
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
    touch "$WINEPREFIX/.yunque-e2e-ready"
  fi
}

# Copies the program into a fresh folder (its keyword file is written beside
# it), with FILE as its keyword file when given, and starts it from another
# folder.
start_program() { # start_program [FILE]
  rm -rf "$work/app"
  mkdir -p "$work/app"
  cp "$work/yunque.exe" "$work/app/yunque.exe"
  [[ $# -eq 0 ]] || cp "$1" "$(keyword_file)"
  rm -f "$work/program.exit"
  (
    cd / && wine "$work/app/yunque.exe" </dev/null >"$work/program.log" 2>&1 && code=0 || code=$?
    echo "$code" >"$work/program.exit"
    exit "$code"
  ) &
  program_pid=$!
  pids+=("$program_pid")
}

keyword_file() { echo "$work/app/评论关键词.txt"; }

# A file's bytes in hex, space-separated; "missing" when there is no file.
hex_of() {
  [[ -f $1 ]] || { echo missing; return; }
  od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# Waits for a mapped window with exactly this title; prints its id.
wait_window() {
  local title=$1 id i
  for i in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.05
  done
  fail "no window titled '$title' appeared; the windows shown: $(shown_windows);" \
    "the program $(program_state); its log: $(cat "$work/program.log")"
}

# Whether the program runs, or how it ended, for messages.
program_state() {
  if [[ -f $work/program.exit ]]; then
    echo "ended with exit code $(cat "$work/program.exit")"
  else
    echo "runs"
  fi
}

# The titles of the mapped windows, for messages.
shown_windows() {
  local id
  for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    printf "'%s' " "$(xdotool getwindowname "$id" 2>/dev/null)"
  done
}

window_gone() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }

wait_gone() { # wait_gone TITLE DESCRIPTION
  local i
  for i in $(seq 200); do window_gone "$1" && return 0; sleep 0.05; done
  fail "$2"
}

# The X window's place and size as "X Y WIDTHxHEIGHT"; with Wine drawing the
# frame, this is the Windows window rectangle.
geometry() {
  local info x y w h
  info=$(xwininfo -id "$1")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  w=$(sed -n 's/.*Width: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  echo "$x $y ${w}x$h"
}

centred() { # centred OUTER_W OUTER_H -> "X Y", halves with the fraction dropped
  local sw=${SCREEN_SIZE%x*} sh=${SCREEN_SIZE#*x}
  echo "$(((sw - $1) / 2)) $(((sh - $2) / 2))"
}

net_wm_state() { xprop -id "$1" _NET_WM_STATE | sed -n 's/.*= //p'; }

# Wine's frame of a window with a caption and a fixed border: the client
# area starts 3 pixels in from the left and 22 down from the top (border 3,
# caption 19); the caption buttons are 16 pixels wide, the close box last.
client_left=3
client_top=22

# Clicks a point given in the window's client-area coordinates.
click_client() { # click_client WINDOW X Y
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool mousemove --window "$1" $(($2 + client_left)) $(($3 + client_top)) click 1
}

click_close_box() { # click_close_box WINDOW
  local x y size
  read -r x y size < <(geometry "$1")
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool mousemove --window "$1" $((${size%x*} - 13)) 12 click 1
}

# Gives the window the focus the way a click on its caption would, then
# presses keys.
key_to() {
  local id=$1; shift
  xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers --delay 60 "$@"
}

# Pastes text into the focused control of the window: xdotool's typing loses
# characters under Wine, the clipboard does not.
paste_to() { # paste_to WINDOW TEXT
  printf '%s' "$2" | xclip -selection clipboard -t UTF8_STRING -i >/dev/null 2>&1
  key_to "$1" ctrl+v
}

# Waits for the program to end and checks how it ended.
expect_exit() { # expect_exit DESCRIPTION CODE
  local i code=0
  for i in $(seq 400); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$program_pid" 2>/dev/null && fail "$1: the program did not end"
  wait "$program_pid" || code=$?
  check "$1" "$code" "$2"
}

# Starts the program as start_program does and accepts the statement with
# Space; sets main to the main window's id.
start_main() { # start_main [FILE]
  start_program "$@"
  local statement
  statement=$(wait_window "$STATEMENT_TITLE")
  key_to "$statement" space
  main=$(wait_window "$MAIN_TITLE")
  wait_gone "$STATEMENT_TITLE" "the statement window stayed open after Space"
}
