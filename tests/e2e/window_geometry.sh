#!/usr/bin/env bash
# The outer size and place of both windows, frame included, as the window
# manager shows them: under WINDOW_MANAGER, and at a scale of SCALE set
# through SCALE_BY (QT_SCALE_FACTOR or the X resource Xft.dpi). At a scale
# the outer size is SCALE times the logical one, and a frame of odd width may
# put it a device pixel off.
SCALE=${SCALE:-1}
# Room for the main window at a scale of 2.
[[ $SCALE == 1 ]] || SCREEN_SIZE=2048x1536
source "$(dirname "$0")/lib.sh"
start_desktop
case ${SCALE_BY:-} in
  '') ;;
  QT_SCALE_FACTOR) export QT_SCALE_FACTOR=$SCALE ;;
  Xft.dpi) xprop -root -format RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	$((96 * SCALE))" ;;
  *) fail "unknown SCALE_BY '$SCALE_BY'" ;;
esac
slack=$((SCALE == 1 ? 0 : 1))

within() { # within "A B" "C D": each within the slack
  local a b c d
  read -r a b <<<"$1"
  read -r c d <<<"$2"
  ((a - c <= slack && c - a <= slack && b - d <= slack && d - b <= slack))
}
near() { # near DESCRIPTION "A B" "C D"
  within "$2" "$3" || fail "$1: got '$2', expected '$3' within $slack"
  echo "ok: $1 = $2"
}

# The window manager may put the frame on only after mapping, and the
# program corrects the window then: waits until the outer size is right.
check_window() { # check_window ID DESCRIPTION WIDTH HEIGHT
  local id=$1 w=$(($3 * SCALE)) h=$(($4 * SCALE)) x y size i
  for i in $(seq 40); do
    read -r x y size < <(frame_geometry "$id")
    within "${size/x/ }" "$w $h" && break
    sleep 0.05
  done
  near "$2 outer size" "${size/x/ }" "$w $h"
  near "$2 position" "$x $y" "$(centred "$w" "$h")"
}

start_program
statement=$(wait_window "$STATEMENT_TITLE")
check_window "$statement" "statement window" 258 213
key_to "$statement" space
main=$(wait_window "$MAIN_TITLE")
check_window "$main" "main window" 724 443
key_to "$main" Escape
expect_exit "exit code" 0
echo "window geometry under $WINDOW_MANAGER at scale $SCALE: all passed"
