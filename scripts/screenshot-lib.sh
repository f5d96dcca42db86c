# Sourced by every screenshot script (after it sets ZX_HARNESS to the build
# folder): the folder's virtual display and Wine environment, the screen
# scale of a run, and the one way a window is taken:
#
#   zx_scale_set PERCENT   the prefix's screen scale for the programs
#                          started next (100, 125, 150, 200); set back by
#                          zx_shots_done
#   zx_px LENGTH           a length at 100 % in pixels at the run's scale,
#                          rounded as the program rounds
#   zx_launch LOG CMD...   starts a program in the background, its output
#                          in LOG; its pid in zx_pid
#   zx_wait_line LOG LINE  waits until the program says LINE (it says it
#                          once its window exists and is painted); fails
#                          when the program ends first
#   zx_grab OUT W H [X Y]  takes that rectangle of the screen once the X
#                          server has caught up with what the program drew:
#                          grabs until it is drawn (not one flat colour) and
#                          two grabs in a row are the same
#   zx_shot OUT LOG LINE W H CMD...
#                          all three: launch, wait, grab; then the program
#                          is left to end by itself and waited for, or
#                          ended at once when zx_shot_end=kill
#   zx_shots_done          the scale set back, the display stopped if this
#                          run started it
# No step waits a fixed time: each waits for the event that matters.
zx_lib_here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
source "$zx_lib_here/display.sh"
# A display this run starts is large enough for a window at 200 %.
ZX_SCREEN=${ZX_SCREEN:-2048x1280}
export ZX_SCREEN
zx_display_up

zx_scale=100
zx_scale_key='HKCU\Control Panel\Desktop'
zx_scale_saved=""
zx_scale_set() {
  zx_scale=$1
  local screen
  screen=$(xdpyinfo -display "$DISPLAY" 2>/dev/null | sed -n 's/^ *dimensions: *\([0-9x]*\) pixels.*/\1/p')
  if [ -n "$screen" ] && [ "${screen%x*}" -lt "$(zx_px 1000)" ]; then
    echo "screenshot: the running display ($screen) is too small for $1 %; stop the harness first" >&2
    return 1
  fi
  if [ -z "$zx_scale_saved" ]; then
    zx_scale_saved=$({ "$ZX_WINE" reg query "$zx_scale_key" /v LogPixels 2>/dev/null || true; } | tr -d '\r' |
                     sed -n 's/^ *LogPixels *REG_DWORD *//p')
    [ -n "$zx_scale_saved" ] || zx_scale_saved=none
  fi
  "$ZX_WINE" reg add "$zx_scale_key" /v LogPixels /t REG_DWORD /d $((zx_scale * 96 / 100)) /f >/dev/null 2>&1
}
zx_scale_restore() {
  case "$zx_scale_saved" in
    "") ;;
    none) "$ZX_WINE" reg delete "$zx_scale_key" /v LogPixels /f >/dev/null 2>&1 || true ;;
    *) "$ZX_WINE" reg add "$zx_scale_key" /v LogPixels /t REG_DWORD /d $((zx_scale_saved)) /f >/dev/null 2>&1 ;;
  esac
  zx_scale_saved=""
  zx_scale=100
}

zx_px() { echo $((($1 * zx_scale + 50) / 100)); }

zx_pid=""
zx_launch() {
  local log=$1; shift
  # A line of an earlier run must not count as this run's.
  rm -f "$log"
  "$@" >"$log" 2>&1 &
  zx_pid=$!
}

zx_wait_line() {
  local log=$1 line=$2
  while ! grep -q "$line" "$log" 2>/dev/null; do
    if [ -n "$zx_pid" ] && ! kill -0 "$zx_pid" 2>/dev/null; then
      grep -q "$line" "$log" 2>/dev/null && return 0
      echo "screenshot: the program ended without saying '$line' (see $log)" >&2
      return 1
    fi
    sleep 0.1
  done
}

zx_grab() {
  local out=$1 w=$2 h=$3 x=${4:-0} y=${5:-0} a b i drawn=0
  a=$(mktemp --suffix=.png) b=$(mktemp --suffix=.png)
  import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$a"
  # Drawn: more than one colour (a window not yet on the screen is one
  # flat colour, and two such grabs agree). Then the same twice in a row;
  # a live picture never holds still, so a few drawn grabs at most.
  for i in $(seq 100); do
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$b"
    if [ "$(identify -format %k "$b")" -gt 1 ]; then
      drawn=$((drawn + 1))
      if [ "$(compare -metric AE "$a" "$b" null: 2>&1 || true)" = 0 ] || [ "$drawn" -ge 8 ]; then break; fi
    fi
    mv "$b" "$a"
  done
  # The last grab: held still, or the latest of a live picture.
  [ -f "$b" ] || mv "$a" "$b"
  mv "$b" "$out"
  rm -f "$a"
}

zx_shot() {
  local out=$1 log=$2 line=$3 w=$4 h=$5; shift 5
  zx_launch "$log" "$@"
  if ! zx_wait_line "$log" "$line"; then
    wait "$zx_pid" 2>/dev/null || true
    return 1
  fi
  zx_grab "$out" "$w" "$h"
  [ "$zx_shot_end" = kill ] && kill "$zx_pid" 2>/dev/null
  wait "$zx_pid" 2>/dev/null || true
}
zx_shot_end=wait

zx_shots_done() {
  zx_scale_restore
  zx_display_down
}
