#!/usr/bin/env bash
# The wizard of the Linux program on the project's test X server, driven as a
# user drives it: clicks and keys through xdotool, a close request as a
# window manager sends it. Every check looks from outside: the mode that
# xrandr reports, whether the window is on show and where, the link file's
# bytes, the registry store, the companion's runs, the window's pixels.
#
#   wizard.sh CASE        runs one case (the functions case_* below)
#   wizard.sh list        the names of the cases
#
# Needs LIAISON (the program), LIAISON_REGISTRY (the store's path),
# WIZARD_PLACES (liaison_wizard_places: where the controls lie),
# WIZARD_CLOSE (liaison_close_window), and DISPLAY or E2E_DISPLAY_FILE naming
# the test X server. There is no window manager on it: a window's client area
# lies at the window's own position. A failed case keeps its folder (named in
# the report); WIZARD_KEEP=1 keeps every case's folder.
set -uo pipefail

# shellcheck source=../lib/screen.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/screen.sh"

readonly TITLE="Réglage de la résolution d'écran"
readonly A='[APPLICATIONS]\nAPPLICATION_NAME=companion\n'
readonly KEY='[HKEY_LOCAL_MACHINE\\SOFTWARE\\Movelka]'
readonly PASAFF_OK="REGEDIT4\n\n$KEY\n\"PasAff\"=\"OK\"\n"

failed=0
root=""
dir=""
pid=""
window=""

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# A failure after which the case cannot go on.
abort() {
  fail "$@"
  exit 1
}

# --- Where the controls lie ----------------------------------------------------
# From the wizard's layout table (liaison_wizard_places), in pixels from the
# client area's top-left corner: places[NAME:INDEX]="left top width height".
declare -A places
client_w=0 client_h=0 frame_left=0 frame_top=0
load_places() {
  local name index left top width height
  while read -r name index left top width height; do
    if [[ $name == window ]]; then
      client_w=$index client_h=$left frame_left=$top frame_top=$width
    else
      places[$name:$index]="$left $top $width $height"
    fi
  done < <("${WIZARD_PLACES:?where the controls lie}")
  ((client_w > 0)) || abort "no layout from $WIZARD_PLACES"
}

# Sets left, top, width and height (the caller's locals) to the place of
# control $1 (index $2, default -1).
place() {
  local key=$1:${2:--1}
  [[ -n ${places[$key]:-} ]] || abort "no control $key in the layout"
  read -r left top width height <<<"${places[$key]}"
}

# --- The program and its window --------------------------------------------------

set_mode() {
  if ! xrandr -s "$1" || [[ $(current_mode) != "$1" ]]; then
    abort "cannot set the start mode $1"
  fi
}


# A fresh program folder: the program, link file $1 (printf %b text), and a
# companion that records each of its runs; registry store $2 ("none": no
# file).
prepare() {
  root=$(mktemp -d "${TMPDIR:-/tmp}/liaison-wizard.XXXXXX") || abort "no temporary folder"
  dir=$root/app
  mkdir -p "$dir" "$root/cwd"
  cp -- "$LIAISON" "$dir/liaison"
  printf '%b' "$1" >"$dir/liaison.ini"
  # shellcheck disable=SC2016 # expanded by the companion itself
  printf '#!/bin/sh\nprintf "%%s\\n" "$0" >>"${0%%/*}/companion.ran"\n' >"$dir/companion"
  chmod +x "$dir/companion"
  mkdir -p "$(dirname "$LIAISON_REGISTRY")"
  if [[ $2 == none ]]; then
    rm -f -- "$LIAISON_REGISTRY"
  else
    printf '%b' "$2" >"$LIAISON_REGISTRY"
  fi
}

# Starts the program from another folder, in the background.
start() {
  (cd "$root/cwd" && exec "$dir/liaison") >>"$root/stdout" 2>>"$root/stderr" &
  pid=$!
}

# Waits up to $1 seconds for the program to end; its status in $status.
wait_end() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$pid" 2>/dev/null; do
    if ((SECONDS >= deadline)); then
      status=timeout
      return 1
    fi
    sleep 0.05
  done
  wait "$pid"
  status=$?
  pid=""
}

# Runs the program once to its end; a run that shows a window or hangs fails.
run_through() {
  start
  wait_end 20 || abort "the program did not end within 20 s (a window on show?)"
  [[ $status == 0 ]] || fail "exit status $status, expected 0"
}

# Waits for the program's window on show; its id in $window.
wait_window() {
  local deadline=$((SECONDS + 10)) name
  window=""
  while [[ -z $window ]]; do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [[ -n $window ]] && break
    kill -0 "$pid" 2>/dev/null || abort "the program ended without showing the wizard"
    ((SECONDS < deadline)) || abort "no window on show within 10 s"
    sleep 0.05
  done
  name=$(xdotool getwindowname "$window")
  [[ $name == "$TITLE" ]] || abort "the window is titled \"$name\", expected \"$TITLE\""
}

# True while the window is on the screen.
showing() {
  xwininfo -id "$window" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# The window's client area on the screen: "left top width height".
geometry() {
  xwininfo -id "$window" 2>/dev/null | awk '
    /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF }
    END { print x, y, w, h }'
}

# The window, frame included as the layout counts it, stands in the middle of
# a W x H screen ($1, $2), to the pixel; waits up to 3 s for it.
expect_centred() {
  local width=$1 height=$2 deadline=$((SECONDS + 3)) x y w h off_x off_y
  while :; do
    read -r x y w h < <(geometry)
    # Outer window: the frame's side on the left, right and bottom, the
    # title bar above. Twice the offset of its centre from the screen's.
    off_x=$((2 * (x - frame_left) + w + 2 * frame_left - width))
    off_y=$((2 * (y - frame_top) + h + frame_top + frame_left - height))
    ((off_x >= -2 && off_x <= 2 && off_y >= -2 && off_y <= 2)) && break
    if ((SECONDS >= deadline)); then
      fail "the window's client area at ${w}x${h}+$x+$y is not centred on ${width}x$height"
      return
    fi
    sleep 0.05
  done
  [[ $w == "$client_w" && $h == "$client_h" ]] ||
    fail "the client area is ${w}x$h, expected ${client_w}x$client_h"
}

# Clicks the middle of control $1 (index $2), or, with a third argument
# "edge", a point just inside the control's left edge, half-way down.
click() {
  local left top width height x y w h px py
  place "$1" "${2:--1}"
  read -r x y w h < <(geometry)
  [[ -n $x ]] || abort "the window is gone before a click on $1"
  if [[ ${3:-} == edge ]]; then
    px=$((x + left + 5))
  else
    px=$((x + left + width / 2))
  fi
  py=$((y + top + height / 2))
  # (No --sync: it waits for a motion, which never comes when the pointer
  # is there already. The server handles the move before the click.)
  xdotool mousemove "$px" "$py" click 1
  sleep 0.15
}

# Keys typed on the keyboard, with the wizard holding the input focus.
keys() {
  xdotool windowfocus --sync "$window" 2>/dev/null || abort "cannot focus the window"
  xdotool key --delay 80 "$@"
  sleep 0.15
}

# Sends the window manager's close request.
request_close() {
  "${WIZARD_CLOSE:?the close request tool}" "$window" || abort "cannot send the close request"
}

# How many pixels of control $1's area (index $2) show pure red text on the
# window now (anti-aliased edges aside).
red_pixels() {
  local left top width height
  place "$1" "${2:--1}"
  # Lines of ImageMagick's pixel text: "X,Y: (RED,GREEN,BLUE) #RRGGBB ...".
  import -window "$window" -depth 8 txt:- 2>/dev/null | awk -F'[,:() ]+' \
    -v l="$left" -v t="$top" -v r="$((left + width))" -v b="$((top + height))" '
    NR > 1 && $1 >= l && $1 < r && $2 >= t && $2 < b && $3 >= 200 && $4 <= 90 && $5 <= 90 { n++ }
    END { print n + 0 }'
}

# --- What a user sees afterwards ---------------------------------------------------

expect_mode() {
  local mode
  mode=$(current_mode)
  [[ $mode == "$1" ]] || fail "$2: the mode is $mode, expected $1"
}

# The link file holds exactly the printf %b text $1.
expect_link() {
  if ! cmp -s "$dir/liaison.ini" <(printf '%b' "$1"); then
    fail "$2: the link file differs"
    echo "  expected bytes:" >&2
    printf '%b' "$1" | od -c | sed 's/^/    /' >&2
    echo "  actual bytes:" >&2
    od -c "$dir/liaison.ini" | sed 's/^/    /' >&2
  fi
}

# The registry store holds exactly the text $1, or does not exist ("none").
expect_store() {
  if [[ $1 == none ]]; then
    [[ ! -e $LIAISON_REGISTRY ]] || fail "$2: a registry store appeared: $(cat "$LIAISON_REGISTRY")"
  elif ! cmp -s "$LIAISON_REGISTRY" <(printf '%b' "$1"); then
    fail "$2: the registry store differs: $(cat "$LIAISON_REGISTRY" 2>&1)"
  fi
}

# The companion has run $1 times in all, each time as its own file.
expect_companion_runs() {
  local expected=$1 what=$2 i runs
  # The companion is not waited for by the program: give it a moment.
  for ((i = 0; i < 50; i++)); do
    runs=$(grep -c . "$dir/companion.ran" 2>/dev/null)
    ((${runs:-0} >= expected)) && break
    sleep 0.02
  done
  sleep 0.2  # a run too many would show now
  runs=$(grep -c . "$dir/companion.ran" 2>/dev/null)
  runs=${runs:-0}
  ((runs == expected)) || fail "$what: the companion ran $runs times, expected $expected"
  if ((runs > 0)) && grep -qvxF -- "$dir/companion" "$dir/companion.ran"; then
    fail "$what: something else ran: $(cat "$dir/companion.ran")"
  fi
}

# The program ended by itself, with status 0, within 10 s.
expect_end() {
  wait_end 10 || abort "$1: the program did not end within 10 s"
  [[ $status == 0 ]] || fail "$1: exit status $status, expected 0"
}

# The window stays on the screen and the program keeps running.
expect_still_open() {
  sleep 0.5
  kill -0 "$pid" 2>/dev/null || abort "$1: the program ended"
  showing || abort "$1: the window went"
}

# --- The cases --------------------------------------------------------------------

# The typical run from 800x600, confirming by a click on the word "VALIDER"
# ($1 = word) or on the box around it ($1 = edge); then the two runs after it.
typical_run() {
  local how=$1
  local link='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\nAutoChangeRes=OK\n'
  prepare "$A" none
  set_mode 800x600
  start
  wait_window
  expect_centred 800 600
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n' "page 0"
  click cmdSuiv
  click cmdSuiv
  wait_for_mode 1024x768 10 || abort "page 2 did not switch to 1024x768"
  expect_centred 1024 768
  if [[ $how == word ]]; then
    click Label6
  else
    click cmdValider -1 edge
  fi
  click chkAuto
  click cmdSuiv
  expect_end "Terminer"
  showing && fail "the window is still on show"
  expect_mode 1024x768 "after the wizard"
  expect_companion_runs 1 "after the wizard"
  expect_link "$link" "after the wizard"
  expect_store none "after the wizard"

  # The next run puts the recorded mode back and starts nothing; the one after
  # that switches again and starts the companion.
  run_through
  expect_mode 800x600 "the next run"
  expect_companion_runs 1 "the next run"
  expect_link "$link" "the next run"
  run_through
  expect_mode 1024x768 "the run after"
  expect_companion_runs 2 "the run after"
  expect_link "$link" "the run after"
}

case_typical_run_confirmed_on_the_word() { typical_run word; }
case_typical_run_confirmed_on_the_box_edge() { typical_run edge; }

# The countdown left to run out: the saved mode comes back after about 25 s,
# page 1 shows the red failure text, and "Suivant >" starts a new countdown,
# which is confirmed; "Terminer >|" without the automatic change.
case_countdown_runs_out_then_retry() {
  prepare "$A" none
  set_mode 800x600
  start
  wait_window
  click cmdSuiv
  local red
  red=$(red_pixels lblEchec)
  ((red == 0)) || fail "page 1 shows red text ($red pixels) before any attempt"
  click cmdSuiv
  wait_for_mode 1024x768 10 || abort "page 2 did not switch to 1024x768"
  local switched=$SECONDS
  wait_for_mode 800x600 40 || abort "the mode did not come back within 40 s"
  local waited=$((SECONDS - switched))
  ((waited >= 20)) || fail "the mode came back after ${waited}s, expected about 25 s"
  expect_still_open "after the countdown"
  expect_centred 800 600
  local i
  for ((i = 0; i < 30; i++)); do
    red=$(red_pixels lblEchec)
    ((red >= 20)) && break
    sleep 0.1
  done
  ((red >= 20)) || fail "page 1 shows no red failure text after the countdown ($red pixels)"
  # "Suivant >" again: a new switch and countdown, confirmed this time.
  click cmdSuiv
  wait_for_mode 1024x768 10 || abort "a second visit of page 2 did not switch to 1024x768"
  expect_centred 1024 768
  click Label6
  click cmdSuiv
  expect_end "Terminer"
  expect_mode 1024x768 "after the wizard"
  expect_companion_runs 1 "after the wizard"
  local link='[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n'
  expect_link "$link" "after the wizard"
  # Without the automatic change, the next run puts the old mode back for good.
  run_through
  expect_mode 800x600 "the next run"
  expect_companion_runs 1 "the next run"
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n' "the next run"
}

# Quitting from page 0 on a screen too small: the program ends, nothing runs,
# the mode stays, and page 0's record stays in the link file.
case_quit_from_page0_on_a_small_screen() {
  prepare "$A" none
  set_mode 800x600
  start
  wait_window
  click optnChoix 2
  click cmdSuiv
  expect_end "quit"
  expect_mode 800x600 "after quitting"
  expect_companion_runs 0 "after quitting"
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n' "after quitting"
  expect_store none "after quitting"
}

# 1280x768 is not too small: with PasAff "OK" there is no wizard and the
# companion starts; without it the wizard opens, and quitting from page 0
# empties the record.
case_1280x768_PasAff_or_wizard() {
  prepare "$A" "$PASAFF_OK"
  set_mode 1280x768
  run_through
  expect_mode 1280x768 "with PasAff"
  expect_companion_runs 1 "with PasAff"
  expect_link "$A" "with PasAff"
  expect_store "$PASAFF_OK" "with PasAff"

  rm -f -- "$dir/companion.ran" "$LIAISON_REGISTRY"
  printf '%b' "$A" >"$dir/liaison.ini"
  start
  wait_window
  expect_centred 1280 768
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=1280x768x32\n' "page 0"
  click optnChoix 2
  click cmdSuiv
  expect_end "quit"
  expect_mode 1280x768 "after quitting"
  expect_companion_runs 0 "after quitting"
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=\n' "after quitting"
  # Reading PasAff opens the key with create-or-open.
  expect_store "REGEDIT4\n\n$KEY\n" "after quitting"
}

# The keyboard: Tab moves the focus, Space and Return act on the focused
# control; Escape does not close the wizard.
case_keyboard() {
  prepare "$A" none
  set_mode 800x600
  # Tab to the second option, Space selects it, Tab to "Suivant >", Return:
  # the program quits.
  start
  wait_window
  keys Tab space
  keys Escape
  expect_still_open "Escape on page 0"
  keys Tab Return
  expect_end "Return on \"Suivant >\" with the second option"
  expect_mode 800x600 "after quitting"
  expect_companion_runs 0 "after quitting"
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n' "after quitting"

  # Tab past the second option to "Suivant >": Return goes to page 1, Space
  # to page 2, which switches the mode.
  printf '%b' "$A" >"$dir/liaison.ini"
  start
  wait_window
  keys Tab Tab Return
  keys space
  wait_for_mode 1024x768 10 || abort "Return then Space on \"Suivant >\" did not reach page 2"
  keys Escape
  expect_still_open "Escape during the countdown"
  expect_mode 1024x768 "Escape during the countdown"
  click Label6
  click cmdSuiv
  expect_end "Terminer"
  expect_mode 1024x768 "after the wizard"
  expect_companion_runs 1 "after the wizard"
}

# A close request from the window manager during the countdown: the saved
# mode comes back, the program ends, nothing starts.
case_close_during_the_countdown() {
  prepare "$A" none
  set_mode 800x600
  start
  wait_window
  click cmdSuiv
  click cmdSuiv
  wait_for_mode 1024x768 10 || abort "page 2 did not switch to 1024x768"
  request_close
  expect_end "close request"
  expect_mode 800x600 "after the close request"
  expect_companion_runs 0 "after the close request"
  expect_link '[APPLICATIONS]\nAPPLICATION_NAME=companion\nRES_ORIGINE=800x600x32\n' \
    "after the close request"
  expect_store none "after the close request"
}

# --- Running a case -------------------------------------------------------------------

finish() {
  local rc=$?
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  ((failed)) && rc=1
  if [[ -n $root ]]; then
    if ((rc != 0)); then
      echo "case folder: $root" >&2
      [[ -s $root/stderr ]] && { echo "--- the program's standard error:" >&2; cat "$root/stderr" >&2; }
    elif [[ -z ${WIZARD_KEEP:-} ]]; then
      rm -rf -- "$root"
    fi
  fi
  exit "$rc"
}

main() {
  local name=${1:-}
  if [[ $name == list ]]; then
    declare -F | sed -n 's/^declare -f case_//p'
    return 0
  fi
  if [[ -z $name ]] || ! declare -F "case_$name" >/dev/null; then
    echo "usage: $0 CASE | list" >&2
    return 2
  fi
  : "${LIAISON:?the program to test}" "${LIAISON_REGISTRY:?the registry store}"
  : "${WIZARD_CLOSE:?the close request tool}"
  if [[ -n ${E2E_DISPLAY_FILE:-} ]]; then
    DISPLAY=$(<"$E2E_DISPLAY_FILE") || return 2
    export DISPLAY
  fi
  load_places
  trap finish EXIT
  "case_$name"
  ((failed)) && return 1
  echo "ok: $name"
}

main "$@"
