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

# Waits up to $2 seconds for the mode $1.
wait_for_mode() {
  local deadline=$((SECONDS + $2))
  while [[ $(current_mode) != "$1" ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
