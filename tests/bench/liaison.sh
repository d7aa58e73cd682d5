#!/bin/sh
# The launcher's two common paths as a plain POSIX shell script, for
# scripts/bench to compare with the program: it lives beside liaison.ini and
# the companion, reads the link file, asks `xrandr` for the mode and
#   - on a display larger than 1024x768 with nothing recorded, records the
#     mode in RES_ORIGINE and starts the companion (and with a record, clears
#     it);
#   - on a smaller display with AutoChangeRes=OK and the recorded mode in
#     force, switches to 1024x768 and starts the companion (at 1024x768 it
#     puts the recorded mode back).
# The colour depth is taken as 32 bits per pixel, what the usual depth-24 X
# server stores: asking the server for it would cost another program.
# Other cases (the resolution check, the wizard) are not covered.
dir=${0%/*}
ini=$dir/liaison.ini
depth=32

# The three keys of [APPLICATIONS], read by the shell itself.
app='' auto='' recorded='' section=''
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
    '['*']') section=$line ;;
    APPLICATION_NAME=*) [ "$section" = '[APPLICATIONS]' ] && app=${line#*=} ;;
    AutoChangeRes=*) [ "$section" = '[APPLICATIONS]' ] && auto=${line#*=} ;;
    RES_ORIGINE=*) [ "$section" = '[APPLICATIONS]' ] && recorded=${line#*=} ;;
  esac
done <"$ini"

size=$(xrandr --current | sed -n 's/.* current \([0-9]*\) x \([0-9]*\),.*/\1 \2/p')
width=${size% *}
height=${size#* }
current=${width}x${height}x$depth

record() {
  if grep -q '^RES_ORIGINE=' "$ini"; then
    sed -i "s/^RES_ORIGINE=.*/RES_ORIGINE=$1/" "$ini"
  else
    sed -i "/^\[APPLICATIONS\]/a RES_ORIGINE=$1" "$ini"
  fi
}

launch() {
  "$dir/$app" </dev/null >/dev/null 2>&1 &
}

if [ "$width" -gt 1024 ] && [ "$height" -gt 768 ]; then
  if [ -n "$recorded" ]; then
    record ''
  else
    record "$current"
    launch
  fi
  exit 0
fi

if [ "$auto" = OK ] && [ -n "$recorded" ]; then
  if [ "$current" = "1024x768x$depth" ]; then
    rest=${recorded#*x}
    xrandr -s "${recorded%%x*}x${rest%%x*}"
  elif [ "$current" = "$recorded" ]; then
    xrandr -s 1024x768
    launch
  fi
  exit 0
fi

echo "liaison.sh: only the large-display and automatic-change paths are covered" >&2
exit 1
