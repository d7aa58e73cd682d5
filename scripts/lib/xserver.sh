#!/usr/bin/env bash
# The project's test X server: Xorg with the dummy video driver on a free
# display number, configured by xorg-dummy.conf (next to this file), so that
# XRandR really switches modes. Several servers may run at once.
#
# As a library (bash):
#   source scripts/lib/xserver.sh
#   xserver_start [WxH] || exit 1   # exports DISPLAY and LIAISON_XSERVER_DIR
#   trap xserver_stop EXIT
#
# As a command:
#   eval "$(scripts/lib/xserver.sh start [WxH] [--display-file FILE])"
#   scripts/lib/xserver.sh stop [DIR | :N | --display-file FILE]
#
# start prints the export lines for DISPLAY and LIAISON_XSERVER_DIR; with
# --display-file it also writes the display name (":N") into FILE. stop ends
# the server given by its state folder, its display name, the display named
# in FILE (and removes FILE), or by default $LIAISON_XSERVER_DIR. The server's
# configuration, log and process id live in the state folder, which stop
# removes. Xorg needs root for a configuration outside its own folders.

_xserver_lib_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# True while process $1 runs (a zombie counts as ended).
_xserver_alive() {
  local state
  [[ -r /proc/$1/stat ]] || return 1
  state=$(sed 's/^.*) \(.\).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z && $state != X ]]
}

# Starts a server; an optional WxH is set with `xrandr -s` once it answers.
xserver_start() {
  local mode=${1:-}
  if [[ $EUID -ne 0 ]]; then
    echo "xserver: Xorg with a private configuration needs root" >&2
    return 1
  fi
  local dir
  dir=$(mktemp -d "${TMPDIR:-/tmp}/liaison-xserver.XXXXXX") || return 1
  cp "$_xserver_lib_dir/xorg-dummy.conf" "$dir/xorg.conf" || return 1
  mkdir "$dir/conf.d"

  # -displayfd: Xorg takes the first free display number itself and writes it
  # to descriptor 3 once it accepts connections.
  Xorg -displayfd 3 -config "$dir/xorg.conf" -configdir "$dir/conf.d" \
    -logfile "$dir/xorg.log" -noreset -nolisten tcp -novtswitch \
    3>"$dir/displayfd" </dev/null >"$dir/xorg.out" 2>&1 &
  local pid=$!
  echo "$pid" >"$dir/pid"

  local number="" i
  for ((i = 0; i < 200; i++)); do
    if read -r number 2>/dev/null <"$dir/displayfd" && [[ $number =~ ^[0-9]+$ ]]; then
      break
    fi
    number=""
    _xserver_alive "$pid" || break
    sleep 0.05
  done
  if [[ -z $number ]]; then
    echo "xserver: Xorg did not start (log: $dir/xorg.log)" >&2
    tail -n 20 "$dir/xorg.log" >&2 2>/dev/null
    kill "$pid" 2>/dev/null
    return 1
  fi
  echo ":$number" >"$dir/display"

  for ((i = 0; i < 100; i++)); do
    DISPLAY=":$number" xrandr --current >/dev/null 2>&1 && break
    sleep 0.05
  done
  if ! DISPLAY=":$number" xrandr --current >/dev/null 2>&1; then
    echo "xserver: the server on :$number does not answer (log: $dir/xorg.log)" >&2
    LIAISON_XSERVER_DIR=$dir xserver_stop
    return 1
  fi
  if [[ -n $mode ]] && ! DISPLAY=":$number" xrandr -s "$mode"; then
    echo "xserver: cannot set the mode $mode on :$number" >&2
    LIAISON_XSERVER_DIR=$dir xserver_stop
    return 1
  fi
  export DISPLAY=":$number"
  export LIAISON_XSERVER_DIR=$dir
}

# The state folder of the running server on display $1 (":N").
_xserver_dir_of() {
  local file
  for file in "${TMPDIR:-/tmp}"/liaison-xserver.*/display; do
    [[ -r $file && $(<"$file") == "$1" ]] && { dirname "$file"; return 0; }
  done
  return 1
}

# Stops the server whose state folder is $1 (default: $LIAISON_XSERVER_DIR)
# and removes that folder.
xserver_stop() {
  local dir=${1:-${LIAISON_XSERVER_DIR:-}}
  if [[ -z $dir || ! -d $dir || ! -f $dir/xorg.conf ]]; then
    echo "xserver: no test server to stop${dir:+ in $dir}" >&2
    return 1
  fi
  local pid i
  pid=$(<"$dir/pid")
  # Only the Xorg this folder started, never a process that reused its id.
  if _xserver_alive "$pid" && [[ $(cat "/proc/$pid/comm" 2>/dev/null) == Xorg ]] &&
    grep -qF -- "$dir/xorg.conf" "/proc/$pid/cmdline" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null
    for ((i = 0; i < 100; i++)); do
      _xserver_alive "$pid" || break
      sleep 0.05
    done
    _xserver_alive "$pid" && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  fi
  rm -rf -- "$dir"
  if [[ ${LIAISON_XSERVER_DIR:-} == "$dir" ]]; then
    unset LIAISON_XSERVER_DIR DISPLAY
  fi
  return 0
}

_xserver_main() {
  local command=${1:-} mode="" display_file="" target=""
  shift || true
  while [[ $# -gt 0 ]]; do
    case $1 in
      --display-file) display_file=$2; shift 2 ;;
      *) if [[ $command == start ]]; then mode=$1; else target=$1; fi; shift ;;
    esac
  done
  case $command in
    start)
      xserver_start "$mode" || return 1
      [[ -n $display_file ]] && echo "$DISPLAY" >"$display_file"
      printf 'export DISPLAY=%q\nexport LIAISON_XSERVER_DIR=%q\n' "$DISPLAY" "$LIAISON_XSERVER_DIR"
      ;;
    stop)
      if [[ -n $display_file ]]; then
        [[ -r $display_file ]] || { echo "xserver: no file $display_file" >&2; return 1; }
        target=$(<"$display_file")
        rm -f -- "$display_file"
      fi
      if [[ $target == :* ]]; then
        local found
        found=$(_xserver_dir_of "$target") || {
          echo "xserver: no test server runs on $target" >&2
          return 1
        }
        target=$found
      fi
      xserver_stop "$target"
      ;;
    *)
      echo "usage: $0 start [WxH] [--display-file FILE] | stop [DIR | :N | --display-file FILE]" >&2
      return 2
      ;;
  esac
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  _xserver_main "$@"
fi
