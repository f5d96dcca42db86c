# Sourced by the screenshot scripts: the build folder's virtual display and
# Wine environment for "$ZX_HARNESS" (set by the caller). zx_display_up
# starts the harness when it is not running; zx_display_down stops it again
# only if zx_display_up started it.
zx_display_started=0
zx_display_up() {
  local here
  here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
  if [ ! -s "$ZX_HARNESS/harness/xvfb.pid" ] || ! kill -0 "$(cat "$ZX_HARNESS/harness/xvfb.pid")" 2>/dev/null; then
    bash "$here/harness.sh" start "$ZX_HARNESS" >/dev/null
    zx_display_started=1
  fi
  source "$here/wine-env.sh"
}
zx_display_down() {
  local here
  here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
  if [ "$zx_display_started" = 1 ]; then bash "$here/harness.sh" stop "$ZX_HARNESS" >/dev/null; fi
  return 0
}
# The launcher's "Path" value (written by the installer) makes a client's
# graph start the installed program; runs that stand in for the program set
# it aside with zx_path_aside and put it back with zx_path_restore.
zx_path_key='HKCU\SOFTWARE\orbian\ZXVCAM'
zx_path_saved=""
zx_path_had=0
zx_path_aside() {
  local value
  if value=$("$ZX_WINE" reg query "$zx_path_key" /v Path 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_SZ *//p') &&
     [ -n "$value" ]; then
    zx_path_saved=$value
    zx_path_had=1
    "$ZX_WINE" reg delete "$zx_path_key" /v Path /f >/dev/null 2>&1
  fi
  return 0
}
zx_path_restore() {
  [ "$zx_path_had" = 1 ] || return 0
  "$ZX_WINE" reg add "$zx_path_key" /v Path /t REG_SZ /d "$zx_path_saved" /f >/dev/null 2>&1 ||
    { echo "the launcher's Path could not be put back: $zx_path_saved" >&2; return 1; }
  zx_path_had=0
}
