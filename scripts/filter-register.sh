#!/usr/bin/env bash
# Registers or unregisters the capture filter ZxCamSrc.dll of a build folder
# in that folder's Wine prefix, with regsvr32 as a setup tool would: the
# 64-bit module, and the 32-bit one too when the folder holds the 32-bit
# tree (BUILD_DIR/x86) and this machine can run 32-bit programs.
# Usage: filter-register.sh BUILD_DIR register|unregister
set -euo pipefail
if [ $# -ne 2 ] || { [ "$2" != register ] && [ "$2" != unregister ]; }; then
  echo "usage: filter-register.sh BUILD_DIR register|unregister" >&2
  exit 2
fi
ZX_HARNESS=$(readlink -m "$1")
here=$(dirname "$(readlink -f "$0")")
if [ ! -f "$ZX_HARNESS/harness/alsa.conf" ] || ! ls "$ZX_HARNESS"/wineprefix/.zx-prefix-* >/dev/null 2>&1; then
  "$here/wine-prefix.sh" "$ZX_HARNESS" >&2
fi
source "$here/wine-env.sh"
action=$2
flag=""
[ "$action" = unregister ] && flag="/u"

run() {  # run LOADER DLL
  local dll=$1 loader=$2
  if [ ! -f "$dll" ]; then
    echo "filter-register: $dll is not built" >&2
    return 1
  fi
  # /s: no message box; regsvr32's exit code tells the result.
  if "$loader" regsvr32 /s $flag "$(zx_winpath "$dll")"; then
    echo "filter-register: ${action}ed $dll"
  else
    echo "filter-register: regsvr32 $flag failed for $dll (exit $?)" >&2
    return 1
  fi
}

status=0
run "$ZX_HARNESS/bin/ZxCamSrc.dll" "$ZX_WINE" || status=1
if [ -f "$ZX_HARNESS/x86/bin/ZxCamSrc.dll" ]; then
  if [ "$ZX_WIN32_OK" = 1 ]; then
    run "$ZX_HARNESS/x86/bin/ZxCamSrc.dll" "$ZX_WINE" || status=1
  else
    echo "filter-register: skipped the 32-bit module: this machine runs no 32-bit code"
  fi
fi
exit $status
