#!/usr/bin/env bash
# End-to-end tests of the Linux program on the project's test X server: each
# case (cases.sh) copies the program into a fresh folder with a link file and
# a companion that records its runs, sets the start mode and the registry
# store, runs the program and checks what a user would see afterwards.
#
#   e2e.sh run CASE          runs one case (DISPLAY or E2E_DISPLAY_FILE names
#                            the server); needs LIAISON (the program) and
#                            LIAISON_REGISTRY (the store's path)
#   e2e.sh list              the names of the cases
#   e2e.sh save-registry BACKUP / restore-registry BACKUP
#                            keep the store as it was before the tests and put
#                            it back afterwards
#
# A failed case keeps its folder (named in the report); E2E_KEEP=1 keeps every
# case's folder.
set -uo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../lib/screen.sh
source "$here/../lib/screen.sh"
run_timeout=${E2E_TIMEOUT:-20}  # seconds for one run of the program

fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# --- The case table ----------------------------------------------------------

declare -A row
wanted=""
names=()

def() {
  local name=$1 field
  shift
  names+=("$name")
  [[ $name == "$wanted" ]] || return 0
  row=([name]=$name [folder]=app [app]=companion [ini]=none [reg]=none [exit]=0
    [ini_after]=same [reg_after]=same [started]=no [answer]="" [stderr]="" [display]=""
    [mode]="" [after]="")
  for field in "$@"; do
    [[ $field == *=* ]] || { echo "case $name: bad field '$field'" >&2; exit 2; }
    row[${field%%=*}]=${field#*=}
  done
  [[ -n ${row[after]} ]] || row[after]=${row[mode]}
}

# shellcheck source=cases.sh
source "$here/cases.sh"

# --- Helpers -------------------------------------------------------------------

# Compares file $1 with the expected text $2 (%b escapes, or "none").
expect_file() {
  local file=$1 expected=$2 what=$3
  if [[ $expected == none ]]; then
    [[ ! -e $file ]] || fail "$what: expected no file, found: $(od -c "$file" | head -20)"
    return
  fi
  if [[ ! -f $file ]]; then
    fail "$what: expected a file, there is none"
    return
  fi
  if ! cmp -s "$file" <(printf '%b' "$expected"); then
    fail "$what differs"
    echo "  expected bytes:" >&2
    printf '%b' "$expected" | od -c | sed 's/^/    /' >&2
    echo "  actual bytes:" >&2
    od -c "$file" | sed 's/^/    /' >&2
  fi
}

# A display name where no X server listens.
unused_display() {
  local n
  for ((n = 99; n < 200; n++)); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { echo ":$n"; return; }
  done
  echo ":199"
}

# Waits up to $2 seconds for a window titled exactly $1 and prints its id.
find_window() {
  local title=$1 deadline=$((SECONDS + $2)) id
  # The title as an extended regular expression matching it alone.
  local pattern
  pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$?+(){}|/]/\\&/g')\$"
  while ((SECONDS <= deadline)); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
    if [[ -n $id ]]; then
      echo "$id"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1  # the program ended without it
    sleep 0.05
  done
  return 1
}

# --- One case ------------------------------------------------------------------

run_case() {
  wanted=$1
  names=()
  source "$here/cases.sh"
  [[ ${row[name]:-} == "$wanted" ]] || { echo "no case named $wanted" >&2; return 2; }
  : "${LIAISON:?the program to test}" "${LIAISON_REGISTRY:?the registry store}"
  if [[ -n ${E2E_DISPLAY_FILE:-} ]]; then
    DISPLAY=$(<"$E2E_DISPLAY_FILE") || return 2
    export DISPLAY
  fi

  failed=0
  local dir ini app
  root=$(mktemp -d "${TMPDIR:-/tmp}/liaison-e2e.XXXXXX") || return 2
  mkdir -p "$root/cwd"
  dir=$root/${row[folder]}
  mkdir -p "$dir"
  cp -- "$LIAISON" "$dir/liaison"
  ini=$dir/liaison.ini
  app=$dir/${row[app]}
  put "$ini" "${row[ini]}"
  # The companion records the file that was started; a program named by the
  # command's first word records that a shell or a split command ran instead.
  # shellcheck disable=SC2016 # expanded by the companion itself
  printf '#!/bin/sh\nprintf "%%s\\n" "$0" >>"${0%%/*}/companion.ran"\n' >"$app"
  chmod +x "$app"
  local word=${app%% *}
  if [[ $word != "$app" && ! -e $word && -d ${word%/*} ]]; then
    # shellcheck disable=SC2016
    printf '#!/bin/sh\nprintf "%%s\\n" "$0" >>"%s/decoy.ran"\n' "$root" >"$word"
    chmod +x "$word"
  fi

  mkdir -p "$(dirname "$LIAISON_REGISTRY")"
  put "$LIAISON_REGISTRY" "${row[reg]}"
  local reg_expected=${row[reg_after]}
  [[ $reg_expected == same ]] && reg_expected=${row[reg]}
  local ini_expected=${row[ini_after]}
  [[ $ini_expected == same ]] && ini_expected=${row[ini]}

  local display=$DISPLAY
  if [[ ${row[display]} == none ]]; then
    display=$(unused_display)
  else
    xrandr -s "${row[mode]}" || { echo "cannot set the start mode ${row[mode]}" >&2; return 2; }
    [[ $(current_mode) == "${row[mode]}" ]] || { echo "start mode not in force" >&2; return 2; }
  fi

  # The program runs from another folder: it must find its files beside itself.
  (cd "$root/cwd" && DISPLAY=$display exec timeout -k 2 "$run_timeout" "$dir/liaison") \
    >"$root/stdout" 2>"$root/stderr" &
  pid=$!
  if [[ -n ${row[answer]} ]]; then
    local window
    if window=$(find_window "${row[answer]}" 10); then
      answer_with_return "$window" || fail "the window \"${row[answer]}\" did not close on Return"
    else
      fail "no window titled \"${row[answer]}\" appeared"
    fi
  fi
  wait "$pid"
  local status=$?

  # What a user sees afterwards.
  ((status != 124 && status != 137)) || fail "the program did not end within ${run_timeout}s"
  if [[ ${row[exit]} == fail ]]; then
    ((status != 0)) || fail "exit status 0, expected a failure"
  else
    [[ $status == "${row[exit]}" ]] || fail "exit status $status, expected ${row[exit]}"
  fi
  if [[ ${row[display]} != none ]]; then
    local mode
    mode=$(current_mode)
    [[ $mode == "${row[after]}" ]] || fail "mode afterwards $mode, expected ${row[after]}"
  fi
  expect_file "$ini" "$ini_expected" "link file"
  expect_file "$LIAISON_REGISTRY" "$reg_expected" "registry store"

  # The companion is not waited for: give it a moment.
  local i
  if [[ ${row[started]} == yes ]]; then
    for ((i = 0; i < 100; i++)); do
      [[ -s $dir/companion.ran ]] && break
      sleep 0.02
    done
    sleep 0.1  # a second start would show now
    if [[ ! -e $dir/companion.ran ]]; then
      fail "the companion did not run"
    elif ! cmp -s "$dir/companion.ran" <(printf '%s\n' "$app"); then
      fail "the companion ran other than once as \"$app\": $(cat "$dir/companion.ran")"
    fi
  else
    sleep 0.3
    [[ ! -e $dir/companion.ran ]] || fail "the companion ran: $(cat "$dir/companion.ran")"
  fi
  [[ ! -e $root/decoy.ran ]] || fail "a program named by the first word ran: $(cat "$root/decoy.ran")"

  local text errors
  errors=$(<"$root/stderr")
  if [[ -z ${row[stderr]} ]]; then
    [[ -z $errors ]] || fail "unexpected standard error: $errors"
  else
    local -a texts
    IFS='|' read -r -a texts <<<"${row[stderr]}"
    for text in "${texts[@]}"; do
      text=${text//\{INI\}/$ini}
      text=${text//\{DISPLAY\}/$display}
      [[ $errors == *"$text"* ]] || fail "standard error lacks \"$text\": $errors"
    done
  fi

  if ((failed)); then
    echo "case $wanted in $root" >&2
    echo "--- stdout:" >&2
    cat "$root/stdout" >&2
    echo "--- stderr:" >&2
    echo "$errors" >&2
    return 1
  fi
  echo "ok: $wanted"
}

# --- The store before and after the tests --------------------------------------

save_registry() {
  local backup=$1
  : "${LIAISON_REGISTRY:?the registry store}"
  # A backup left by a run that did not clean up holds the true original.
  [[ -e $backup.state ]] && return 0
  if [[ -e $LIAISON_REGISTRY ]]; then
    cp -p -- "$LIAISON_REGISTRY" "$backup" && echo file >"$backup.state"
  elif [[ -d $(dirname "$LIAISON_REGISTRY") ]]; then
    echo absent >"$backup.state"
  else
    echo no-folder >"$backup.state"
  fi
}

restore_registry() {
  local backup=$1 state
  : "${LIAISON_REGISTRY:?the registry store}"
  [[ -e $backup.state ]] || { echo "no saved registry store in $backup" >&2; return 1; }
  state=$(<"$backup.state")
  case $state in
    file) cp -p -- "$backup" "$LIAISON_REGISTRY" || return 1 ;;
    absent) rm -f -- "$LIAISON_REGISTRY" ;;
    no-folder)
      rm -f -- "$LIAISON_REGISTRY"
      rmdir -- "$(dirname "$LIAISON_REGISTRY")" 2>/dev/null
      ;;
  esac
  rm -f -- "$backup" "$backup.state"
}

case ${1:-} in
  run)
    root=""
    run_case "${2:?case name}"
    rc=$?
    # A failed case keeps its folder for inspection.
    [[ -n $root && -z ${E2E_KEEP:-} && $rc -eq 0 ]] && rm -rf -- "$root"
    exit "$rc"
    ;;
  list) printf '%s\n' "${names[@]}" ;;
  save-registry) save_registry "${2:?backup file}" ;;
  restore-registry) restore_registry "${2:?backup file}" ;;
  *)
    echo "usage: $0 run CASE | list | save-registry FILE | restore-registry FILE" >&2
    exit 2
    ;;
esac
