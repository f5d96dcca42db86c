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
# The launcher's "Path" values (written by the installer: the user's, and
# the machine's in both registry views, which elevated clients read) make a
# client's graph start the installed program; runs that stand in for the
# program set them aside with zx_path_aside and put them back with
# zx_path_restore. zx_path_saved is the first value set aside.
zx_path_places=('HKCU\SOFTWARE\orbian\ZXVCAM|' 'HKLM\SOFTWARE\orbian\ZXVCAM|/reg:64'
  'HKLM\SOFTWARE\orbian\ZXVCAM|/reg:32')
zx_path_values=()
zx_path_saved=""
zx_path_had=0
zx_path_aside() {
  local place key view value i
  for i in "${!zx_path_places[@]}"; do
    place=${zx_path_places[$i]}; key=${place%%|*}; view=${place#*|}
    zx_path_values[$i]=""
    # shellcheck disable=SC2086 # an empty view is no argument
    if value=$("$ZX_WINE" reg query "$key" /v Path $view 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *REG_SZ *//p') &&
       [ -n "$value" ]; then
      zx_path_values[$i]=$value
      [ "$zx_path_had" = 1 ] || zx_path_saved=$value
      zx_path_had=1
      "$ZX_WINE" reg delete "$key" /v Path /f $view >/dev/null 2>&1
    fi
  done
  return 0
}
zx_path_restore() {
  [ "$zx_path_had" = 1 ] || return 0
  local place key view i status=0
  for i in "${!zx_path_places[@]}"; do
    [ -n "${zx_path_values[$i]:-}" ] || continue
    place=${zx_path_places[$i]}; key=${place%%|*}; view=${place#*|}
    # shellcheck disable=SC2086
    "$ZX_WINE" reg add "$key" /v Path /t REG_SZ /d "${zx_path_values[$i]}" /f $view >/dev/null 2>&1 ||
      { echo "the launcher's Path could not be put back: $key ${zx_path_values[$i]}" >&2; status=1; }
  done
  zx_path_had=0
  return $status
}
