#!/usr/bin/env bash
# Tests of the Windows program, liaison.exe, under wine on the project's test
# X server. Each case (cases.sh) copies the program into a fresh folder with a
# link file and the companion (companion.exe, which records each of its runs),
# sets the start mode and wine's registry, runs the program and checks what a
# user sees afterwards: the mode that xrandr reports, the link file's values
# (or its bytes), wine's registry and whether the companion ran. The cases
# defined with `both` run the Linux program as well, in a folder of its own
# with the same link file, and both programs must give the table's outcome.
#
#   wine.sh setup      starts the session that the cases share: the X server,
#                      the wine prefix (made on first use, kept in WINE_STATE)
#                      and its wine server
#   wine.sh cleanup    ends the session
#   wine.sh run CASE   runs one case
#   wine.sh list       the names of the cases
#
# Environment: LIAISON_EXE (the Windows program), COMPANION_EXE, INI_VALUES
# (reads a link file's values), WINE, WINESERVER, WINE_STATE (the session's
# folder: display file, prefix, screenshot), XSERVER_SCRIPT; for the `both`
# cases also LIAISON (the Linux program).
# A failed case keeps its folder (named in the report); WINE_KEEP=1 keeps all.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../lib/screen.sh
source "$here/../lib/screen.sh"
run_timeout=${WINE_TIMEOUT:-20}  # seconds for one run of a program
wizard_title="Réglage de la résolution d'écran"
movelka='HKLM\SOFTWARE\Movelka'

state=${WINE_STATE:?the session folder}
display_file=$state/wine-display
export WINEPREFIX=$state/wineprefix
# Wine reports its own errors (on standard error, left out of the checks).
export WINEDEBUG=${WINE_DEBUG:-fixme-all}

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# --- The case table ------------------------------------------------------------

declare -A row
wanted=""
names=()

# kind NAME field=value ...: kind "windows" (def), "both" or "wizard".
case_def() {
  local kind=$1 name=$2 field
  shift 2
  names+=("$name")
  [[ $name == "$wanted" ]] || return 0
  row=([kind]=$kind [name]=$name [folder]=app [app]=companion [ini]=none [reg]=keep
    [reg_after]=any [exit]=0 [values]=same [bytes]="" [started]=no [answer]="" [stderr]=""
    [mode]="" [after]="")
  for field in "$@"; do
    [[ $field == *=* ]] || { echo "case $name: bad field '$field'" >&2; exit 2; }
    row[${field%%=*}]=${field#*=}
  done
  [[ -n ${row[after]} ]] || row[after]=${row[mode]}
}
def() { case_def windows "$@"; }
both() { case_def both "$@"; }
wizard() { case_def wizard "$@"; }

load_cases() {
  names=()
  # shellcheck source=cases.sh
  source "$here/cases.sh"
}

# --- Helpers -------------------------------------------------------------------

set_mode() {
  xrandr -s "$1" && [[ $(current_mode) == "$1" ]]
}


# The link file's values, one "KEY=VALUE" per key of APPLICATIONS, joined by "|".
values_of() {
  "$INI_VALUES" "$1" | paste -sd '|'
}

# Values "NAME=VALUE|..." in a sorted order, for comparing sets.
sorted_items() {
  [[ -z $1 || $1 == none ]] && { echo "$1"; return; }
  tr '|' '\n' <<<"$1" | LC_ALL=C sort | paste -sd '|'
}

# The values of wine's registry key Movelka, "NAME=VALUE|..." sorted by name
# (a value of another type than REG_SZ as NAME=(TYPE)VALUE), or "none".
registry_values() {
  # Through a file: a program that wine starts on the side keeps a pipe open.
  "$WINE" reg query "$movelka" </dev/null >"$root/reg.out" 2>/dev/null || { echo none; return; }
  tr -d '\r' <"$root/reg.out" |
    sed -n 's/^    \(.*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1\t\2\t\3/p' |
    awk -F '\t' '{ print $1 "=" ($2 == "REG_SZ" ? "" : "(" $2 ")") $3 }' |
    LC_ALL=C sort | paste -sd '|'
}

# Sets wine's key Movelka to hold exactly the values "NAME=VALUE|..." ("none":
# no key at all).
set_registry() {
  "$WINE" reg delete "$movelka" /f </dev/null >/dev/null 2>&1
  [[ $1 == none ]] && return 0
  local item
  local -a items
  IFS='|' read -r -a items <<<"$1"
  for item in "${items[@]}"; do
    "$WINE" reg add "$movelka" /v "${item%%=*}" /t REG_SZ /d "${item#*=}" /f </dev/null \
      >/dev/null 2>&1 ||
      return 1
  done
}

# Waits up to $2 seconds for a visible window titled exactly $1 and prints
# its id; gives up early when process $3 has ended.
find_window() {
  local title=$1 deadline=$((SECONDS + $2)) pid=${3:-} id pattern
  pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$?+(){}|/]/\\&/g')\$"
  while ((SECONDS <= deadline)); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    [[ -z $pid ]] || kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Closes the message box $1 of the Windows program: a click on its OK button,
# centred at the bottom of the box (with no window manager, wine draws the
# frame and takes no key until the box has been clicked).
close_windows_box() {
  local id=$1 i X Y WIDTH HEIGHT SCREEN WINDOW
  for ((i = 0; i < 5; i++)); do
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || return 0
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 20)) click 1 >/dev/null 2>&1
    local j
    for ((j = 0; j < 20; j++)); do
      window_gone "$id" && return 0
      sleep 0.05
    done
  done
  return 1
}

# True while a process runs whose command line holds $1.
running_with() {
  local file
  local -a args
  for file in /proc/[0-9]*/cmdline; do
    mapfile -d '' args 2>/dev/null <"$file" || continue
    [[ "${args[*]}" == *"$1"* ]] && return 0
  done
  return 1
}

# Waits until no process runs whose command line holds $1 (the programs and
# the companion of one folder).
wait_for_quiet() {
  local i
  for ((i = 0; i < 200; i++)); do
    running_with "$1" || return 0
    sleep 0.05
  done
  return 1
}

# The Windows form of a Linux path under wine's drive Z:.
windows_path() {
  local path=${1//\//\\}
  printf 'Z:%s' "$path"
}

# --- One run of one program ------------------------------------------------------

# run_program SIDE: SIDE is "windows" or "linux". Prepares the folder
# $root/SIDE/<folder>, runs the program there, answers the window that the
# case names and fills res_<field>[SIDE] with what a user sees afterwards.
declare -A res_mode res_values res_started res_status res_stderr res_bytes res_registry res_time
run_program() {
  local side=$1 dir program app ini tag decoy_dir=""
  dir=$root/$side/${row[folder]}
  mkdir -p "$dir" "$root/$side/cwd"
  ini=$dir/liaison.ini
  put "$ini" "${row[ini]}"
  if [[ $side == windows ]]; then
    program=$dir/liaison.exe
    app=$dir/${row[app]}.exe
    cp -- "$LIAISON_EXE" "$program"
    cp -- "$COMPANION_EXE" "$app"
    # A program named by the command's first word, as an unquoted command
    # line would start it, records that it ran.
    local word=${app%% *}
    decoy_dir=""
    if [[ $word != "$app" ]]; then
      cp -- "$COMPANION_EXE" "$word.exe" 2>/dev/null
      decoy_dir=${word%/*}
    fi
  else
    program=$dir/liaison
    app=$dir/${row[app]}
    cp -- "$LIAISON" "$program"
    # shellcheck disable=SC2016 # expanded by the companion itself
    printf '#!/bin/sh\nprintf "%%s\\n" "$0" >>"${0%%/*}/companion.ran"\n' >"$app"
    chmod +x "$app"
  fi

  if [[ $side == windows && ${row[reg]} != keep ]]; then
    set_registry "${row[reg]}" || { fail "cannot set wine's registry"; return; }
  fi
  set_mode "${row[mode]}" || { fail "cannot set the start mode ${row[mode]}"; return; }

  # The program runs from another folder: it must find its files beside itself.
  local pid
  if [[ $side == windows ]]; then
    (cd "$root/$side/cwd" && exec timeout -k 2 "$run_timeout" "$WINE" "$program") \
      >"$root/$side.stdout" 2>"$root/$side.stderr" &
  else
    (cd "$root/$side/cwd" && exec timeout -k 2 "$run_timeout" "$program") \
      >"$root/$side.stdout" 2>"$root/$side.stderr" &
  fi
  pid=$!
  local started_at=$EPOCHREALTIME
  if [[ -n ${row[answer]} ]]; then
    local window
    if window=$(find_window "${row[answer]}" 15 "$pid"); then
      if [[ $side == windows ]]; then
        close_windows_box "$window" || fail "$side: the box \"${row[answer]}\" did not close"
      else
        answer_with_return "$window" || fail "$side: the box \"${row[answer]}\" did not close"
      fi
    else
      fail "$side: no window titled \"${row[answer]}\" appeared"
    fi
  elif [[ ${row[kind]} == wizard ]]; then
    drive_typical_wizard "$pid" "$dir"
  fi
  wait "$pid"
  res_status[$side]=$?
  local ended_at=$EPOCHREALTIME
  tag=${root##*/}
  wait_for_quiet "$tag" || fail "$side: programs of the case still run"
  res_time[$side]=$(awk -v a="$started_at" -v b="$ended_at" -v c="$EPOCHREALTIME" \
    'BEGIN { printf "ran %.2fs, then %.2fs for its companion", b - a, c - b }')

  res_mode[$side]=$(current_mode)
  res_values[$side]=$(values_of "$ini")
  if [[ ${row[ini]} != none ]] && cmp -s "$ini" <(printf '%b' "${row[ini]}"); then
    res_bytes[$side]=same
  else
    res_bytes[$side]=changed
  fi
  # Without wine's own traces, which WINE_DEBUG may ask for.
  res_stderr[$side]=$(grep -av '^[0-9a-f]\{4\}:\(err\|warn\|fixme\|trace\):' "$root/$side.stderr")
  if [[ $side == windows ]]; then
    local expected_line
    expected_line="$(windows_path "$app") show=2"
    if [[ -n $decoy_dir && $decoy_dir != "$dir" && -e $decoy_dir/companion.ran ]]; then
      fail "$side: a program named by the command's first word ran: $(<"$decoy_dir/companion.ran")"
    fi
    if [[ ${row[reg_after]} != any ]]; then
      res_registry[$side]=$(registry_values)
    fi
  else
    expected_line=$app
  fi
  if [[ ! -e $dir/companion.ran ]]; then
    res_started[$side]=no
  elif [[ $(<"$dir/companion.ran") == "$expected_line" ]]; then
    res_started[$side]=yes
  else
    res_started[$side]="other: $(<"$dir/companion.ran")"
  fi
}

# Checks the results of SIDE against the case's table row.
check_side() {
  local side=$1 expected text
  local status=${res_status[$side]}
  ((status != 124 && status != 137)) || fail "$side: the program did not end within ${run_timeout}s"
  if [[ ${row[exit]} == fail ]]; then
    ((status != 0)) || fail "$side: exit status 0, expected a failure"
  else
    [[ $status == "${row[exit]}" ]] || fail "$side: exit status $status, expected ${row[exit]}"
  fi
  [[ ${res_mode[$side]} == "${row[after]}" ]] ||
    fail "$side: mode afterwards ${res_mode[$side]}, expected ${row[after]}"

  expected=${row[values]}
  if [[ $expected == same ]]; then
    if [[ ${row[ini]} == none ]]; then
      expected="(no file)"
    else
      expected=$(printf '%b' "${row[ini]}" >"$root/original.ini" && values_of "$root/original.ini")
    fi
  fi
  [[ ${res_values[$side]} == "$expected" ]] ||
    fail "$side: link file values \"${res_values[$side]}\", expected \"$expected\""
  if [[ ${row[bytes]} == same && ${res_bytes[$side]} != same ]]; then
    fail "$side: the link file's bytes changed: $(od -c "$root/$side/${row[folder]}/liaison.ini")"
  fi
  [[ ${res_started[$side]} == "${row[started]}" ]] ||
    fail "$side: companion started: ${res_started[$side]}, expected ${row[started]}"

  local wanted_texts=${row[stderr]}
  if [[ -n ${row[stderr_$side]:-} ]]; then
    wanted_texts+=${wanted_texts:+|}${row[stderr_$side]}
  fi
  if [[ -z $wanted_texts ]]; then
    [[ -z ${res_stderr[$side]} ]] || fail "$side: unexpected standard error: ${res_stderr[$side]}"
  else
    local -a texts
    IFS='|' read -r -a texts <<<"$wanted_texts"
    for text in "${texts[@]}"; do
      [[ ${res_stderr[$side]} == *"$text"* ]] ||
        fail "$side: standard error lacks \"$text\": ${res_stderr[$side]}"
    done
  fi
  if [[ $side == windows && ${row[reg_after]} != any ]]; then
    expected=$(sorted_items "${row[reg_after]}")
    [[ ${res_registry[$side]} == "$expected" ]] ||
      fail "$side: registry \"${res_registry[$side]}\", expected \"$expected\""
  fi
}

# --- The typical wizard run --------------------------------------------------------

# The client area's origin of the wizard window $1 on the screen, in CX and
# CY. Without a window manager wine draws the frame itself inside the X
# window: the borders are even, the caption is on top.
client_width=353   # 5295 twips
client_height=292  # 4380 twips
wizard_origin() {
  local X Y WIDTH HEIGHT SCREEN WINDOW border
  eval "$(xdotool getwindowgeometry --shell "$1")" || return 1
  border=$(((WIDTH - client_width) / 2))
  CX=$((X + border))
  CY=$((Y + HEIGHT - border - client_height))
}

# Clicks at ($2, $3) pixels of the wizard $1's client area.
click_at() {
  wizard_origin "$1" || return 1
  # No --sync: it waits for a pointer motion, and there is none when the
  # pointer is there already.
  xdotool mousemove $((CX + $2)) $((CY + $3)) click 1
}

# Places of the controls (twips / 15, from the window layout): cmdSuiv at
# 2730,3960 (1455x375); cmdValider at 1590,2280 (1815x495) on page 2, which
# sits at 120,120; chkAuto at 240,1800 (4575x735) on page 3, at 120,120: its
# box is at the left, halfway down.
suivant=(230 276)
valider=(174 176)
chk_auto=(30 152)

# The road of the Overview's typical run: keep "Changer ma résolution d'écran",
# "Suivant >" twice, the switch to 1024x768, "VALIDER" within the countdown,
# tick chkAuto and "Terminer >|".
drive_typical_wizard() {
  local pid=$1 dir=$2 window
  window=$(find_window "$wizard_title" 15 "$pid") || {
    fail "no window titled \"$wizard_title\" appeared"
    return
  }
  # The wizard as a user sees it, frame included, for the documentation,
  # once the window has its full size and is painted.
  # shellcheck disable=SC2034 # set by getwindowgeometry --shell
  local X Y WIDTH HEIGHT SCREEN WINDOW i
  for ((i = 0; i < 40; i++)); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    ((WIDTH >= client_width && HEIGHT >= client_height)) && break
    sleep 0.05
  done
  sleep 0.3
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$state/wizard-windows.png" ||
    fail "no screenshot of the wizard"

  # Page 0 has recorded the mode found at start.
  [[ $(values_of "$dir/liaison.ini") == *"RES_ORIGINE=${row[mode]}x32"* ]] ||
    fail "page 0: RES_ORIGINE is not ${row[mode]}x32: $(values_of "$dir/liaison.ini")"
  [[ $(current_mode) == "${row[mode]}" ]] || fail "page 0: the mode changed to $(current_mode)"

  click_at "$window" "${suivant[@]}"
  sleep 0.3
  [[ $(current_mode) == "${row[mode]}" ]] || fail "page 1: the mode changed to $(current_mode)"
  click_at "$window" "${suivant[@]}"
  wait_for_mode 1024x768 10 || fail "page 2: no switch to 1024x768 (mode $(current_mode))"
  sleep 0.5  # the window is centred again for the new mode
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local centre_x=$((2 * X + WIDTH)) centre_y=$((2 * Y + HEIGHT))  # twice the centre
  ((centre_x >= 1022 && centre_x <= 1026 && centre_y >= 766 && centre_y <= 770)) ||
    fail "page 2: the window (${WIDTH}x${HEIGHT}+${X}+${Y}) is not centred on 1024x768"
  click_at "$window" "${valider[@]}"
  sleep 0.3
  click_at "$window" "${chk_auto[@]}"
  sleep 0.2
  click_at "$window" "${suivant[@]}"
}

# Runs the Windows program once more in folder $1, as it stands, and waits for
# it and its companion.
rerun_windows() {
  local dir=$1
  (cd "$root/windows/cwd" && exec timeout -k 2 "$run_timeout" "$WINE" "$dir/liaison.exe") \
    >>"$root/windows.stdout" 2>>"$root/windows.stderr"
  local status=$?
  wait_for_quiet "${root##*/}" || fail "programs of the case still run"
  return "$status"
}

# The Overview's road goes on: with automatic change on, the next run finds
# 1024x768 and puts the recorded mode back without starting anything; the
# run after that finds the recorded mode, switches to 1024x768 and starts the
# companion again.
typical_road_goes_on() {
  local dir=$root/windows/${row[folder]} app line
  app=$dir/${row[app]}.exe
  line="$(windows_path "$app") show=2"
  local values=${row[values]}

  rerun_windows "$dir" || fail "second run: exit status $?"
  [[ $(current_mode) == "${row[mode]}" ]] ||
    fail "second run: mode $(current_mode), expected ${row[mode]} put back"
  [[ $(values_of "$dir/liaison.ini") == "$values" ]] ||
    fail "second run: link file values $(values_of "$dir/liaison.ini"), expected $values"
  [[ $(<"$dir/companion.ran") == "$line" ]] || fail "second run: the companion ran again"

  rerun_windows "$dir" || fail "third run: exit status $?"
  [[ $(current_mode) == 1024x768 ]] || fail "third run: mode $(current_mode), expected 1024x768"
  [[ $(values_of "$dir/liaison.ini") == "$values" ]] ||
    fail "third run: link file values $(values_of "$dir/liaison.ini"), expected $values"
  [[ $(<"$dir/companion.ran") == "$line"$'\n'"$line" ]] ||
    fail "third run: the companion did not run a second time: $(<"$dir/companion.ran")"
}

summary() {
  local side=$1
  printf '%-8s exit %s, mode %s, companion %s, link file %s: %s (%s)\n' "$side" \
    "${res_status[$side]}" "${res_mode[$side]}" "${res_started[$side]}" "${res_bytes[$side]}" \
    "${res_values[$side]:0:200}" "${res_time[$side]}"
}

run_case() {
  wanted=$1
  load_cases
  [[ ${row[name]:-} == "$wanted" ]] || { echo "no case named $wanted" >&2; return 2; }
  [[ -r $display_file ]] || { echo "no session: run '$0 setup' first" >&2; return 2; }
  DISPLAY=$(<"$display_file")
  export DISPLAY
  root=$(mktemp -d "${TMPDIR:-/tmp}/liaison-wine.XXXXXX") || return 2

  failed=0
  run_program windows
  check_side windows
  summary windows
  if [[ ${row[kind]} == both ]]; then
    run_program linux
    check_side linux
    summary linux
    # Both programs, one outcome.
    local what
    for what in res_mode res_values res_started; do
      local -n results=$what
      [[ ${results[windows]} == "${results[linux]}" ]] ||
        fail "${what#res_} differs: windows \"${results[windows]}\", linux \"${results[linux]}\""
    done
    [[ $((res_status[windows] == 0)) == $((res_status[linux] == 0)) ]] ||
      fail "exit differs: windows ${res_status[windows]}, linux ${res_status[linux]}"
  elif [[ ${row[kind]} == wizard ]]; then
    typical_road_goes_on
  fi

  if ((failed)); then
    echo "case $wanted in $root" >&2
    local side
    for side in windows linux; do
      [[ -e $root/$side.stderr ]] || continue
      echo "--- $side standard error:" >&2
      cat "$root/$side.stderr" >&2
    done
    return 1
  fi
  echo "ok: $wanted"
}

# --- The session ------------------------------------------------------------------

# The wine server, and the programs that wine starts on the side for the
# session, keep the descriptors they were started with: the session's output
# goes to a log file, which CTest need not wait for, and is shown afterwards.
setup() {
  local rc=0
  start_session </dev/null >"$state/session.log" 2>&1 || rc=$?
  cat "$state/session.log"
  return "$rc"
}

start_session() {
  if [[ -e $display_file ]]; then
    echo "a session was left running: ending it first" >&2
    cleanup
  fi
  eval "$(bash "$XSERVER_SCRIPT" start 1024x768 --display-file "$display_file")" || return 1
  mkdir -p "$WINEPREFIX"
  # One wine server for the whole session (wine starts in a fraction of a
  # second then); it ends by itself 10 minutes after its last program.
  "$WINESERVER" -p600 ||
    { echo "the wine server did not start" >&2; return 1; }
  if [[ ! -d $WINEPREFIX/drive_c/windows/system32 ]]; then
    echo "making the wine prefix $WINEPREFIX"
    # No installers of .NET or HTML engines: the program needs neither.
    WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i >/dev/null 2>&1 ||
      { echo "wineboot failed" >&2; return 1; }
  fi
  # No window manager runs: wine draws the window frames itself, as Windows
  # does, and does not wait for a window manager to hide a window.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f ||
    return 1
  # The symbols of the title bars' buttons.
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [[ -r $marlett && ! -e $WINEPREFIX/drive_c/windows/Fonts/marlett.ttf ]]; then
    cp -- "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/" || true
  fi
  set_registry none
  # The companion works, and wine's desktop is up before the first case.
  local probe
  probe=$(mktemp -d "${TMPDIR:-/tmp}/liaison-wine-probe.XXXXXX") || return 1
  cp -- "$COMPANION_EXE" "$probe/companion.exe"
  "$WINE" "$probe/companion.exe"
  if [[ $(cat "$probe/companion.ran" 2>/dev/null) != "$(windows_path "$probe/companion.exe") show=-1" ]]; then
    echo "the companion did not record its run under wine: $(cat "$probe/companion.ran" 2>&1)" >&2
    rm -rf -- "$probe"
    return 1
  fi
  rm -rf -- "$probe"
  echo "session on $DISPLAY, wine prefix $WINEPREFIX"
}

cleanup() {
  local rc=0
  "$WINESERVER" -k >/dev/null 2>&1
  if [[ -e $display_file ]]; then
    bash "$XSERVER_SCRIPT" stop --display-file "$display_file" || rc=1
  fi
  return "$rc"
}

case ${1:-} in
  run)
    root=""
    run_case "${2:?case name}"
    rc=$?
    [[ -n $root && -z ${WINE_KEEP:-} && $rc -eq 0 ]] && rm -rf -- "$root"
    exit "$rc"
    ;;
  list)
    load_cases
    printf '%s\n' "${names[@]}"
    ;;
  setup) setup ;;
  cleanup) cleanup ;;
  *)
    echo "usage: $0 setup | cleanup | run CASE | list" >&2
    exit 2
    ;;
esac
