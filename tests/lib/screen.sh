# Helpers shared by the shell harnesses that run programs on the test X
# server (tests/e2e, tests/wine, tests/wizard). Source it; it defines
# functions only.

# Writes the printf %b text $2 to file $1, or removes the file for "none".
put() {
  if [[ $2 == none ]]; then
    rm -f -- "$1"
  else
    printf '%b' "$2" >"$1"
  fi
}

# The mode the X server shows now, as WxH.
current_mode() {
  xrandr --current 2>/dev/null | sed -n 's/.* current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p'
}

# True when window $1 is no longer on show (or no longer exists).
window_gone() {
  ! xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# Presses Return in window $1 until it is gone: how a message box of the
# Linux program is answered.
answer_with_return() {
  local id=$1 i
  for ((i = 0; i < 40; i++)); do
    xdotool windowactivate --sync "$id" >/dev/null 2>&1 ||
      xdotool windowfocus --sync "$id" >/dev/null 2>&1
    xdotool key --clearmodifiers Return >/dev/null 2>&1
    sleep 0.1
    window_gone "$id" && return 0
  done
  return 1
}

# Waits up to $2 seconds for the mode $1.
wait_for_mode() {
  local deadline=$((SECONDS + $2))
  while [[ $(current_mode) != "$1" ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
