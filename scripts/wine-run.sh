#!/usr/bin/env bash
# The emulator ctest runs every Windows test program through: the build
# folder's Wine prefix, its display and sound set-up, and a scratch folder in
# the build tree for everything a test writes.
# Usage: wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]
set -eu
ZX_HARNESS=$(readlink -m "$1"); shift
here=$(dirname "$(readlink -f "$0")")
if [ ! -f "$ZX_HARNESS/harness/alsa.conf" ] || ! ls "$ZX_HARNESS"/wineprefix/.zx-prefix-* >/dev/null 2>&1; then
  "$here/wine-prefix.sh" "$ZX_HARNESS" >&2
fi
source "$here/wine-env.sh"
if [ "${1:-}" = "--x86" ]; then
  shift
  if [ "$ZX_WIN32_OK" != 1 ]; then
    echo "SKIPPED: this machine runs no 32-bit code (i386 execve fails), so Wine cannot start the 32-bit program $(basename "$1")"
    exit 77
  fi
fi
scratch="$ZX_HARNESS/scratch/$(basename "$1" .exe)-$$"
mkdir -p "$scratch"
export ZXVCAM_TEST_TMP="$(zx_winpath "$scratch")"
set +e
"$ZX_WINE" "$@"
rc=$?
set -e
[ "$rc" = 0 ] && [ -z "${ZX_KEEP_SCRATCH:-}" ] && rm -rf "$scratch"
exit $rc
