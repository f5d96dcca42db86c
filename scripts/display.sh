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
