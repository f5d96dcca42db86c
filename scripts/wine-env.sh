# Sourced by the harness scripts: the environment of the Wine prefix that
# belongs to the build folder "$ZX_HARNESS" (set by the caller).
export WINEPREFIX="$ZX_HARNESS/wineprefix"
export WINEDEBUG="${ZX_WINEDEBUG:--all}"
# No Mono or Gecko installers: the product needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# There is no sound card: ALSA's null device gives Wine one wave-out and one
# wave-in device, which is what every audio path needs.
export ALSA_CONFIG_PATH="$ZX_HARNESS/harness/alsa.conf"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
# The program speaks its own language, Chinese, as on a Chinese Windows
# (Wine's display language follows the C locale, English); a test or a
# picture that wants English sets ZXVCAM_LANG=en.
export ZXVCAM_LANG="${ZXVCAM_LANG:-zh}"
# Wine's recycle bin is the Unix user's trash under XDG_DATA_HOME: keep it
# (and Wine's other desktop data) inside the build folder.
export XDG_DATA_HOME="$ZX_HARNESS/harness/xdg-data"
mkdir -p "$XDG_DATA_HOME" 2>/dev/null || true
# The "wine" launcher is the 32-bit loader, which hands 64-bit programs on to
# wine64. Where the kernel runs no 32-bit code at all, it cannot even start,
# so 64-bit programs go straight to wine64 and 32-bit ones cannot run.
if [ -z "${ZX_WINE:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    ZX_WINE=/usr/lib/wine/wine; ZX_WIN32_OK=1
  else
    ZX_WINE=/usr/lib/wine/wine64; ZX_WIN32_OK=0
  fi
  export ZX_WINE ZX_WIN32_OK
fi
export WINESERVER=/usr/lib/wine/wineserver64
if [ -s "$ZX_HARNESS/harness/display" ]; then
  export DISPLAY=":$(cat "$ZX_HARNESS/harness/display")"
fi
# Windows form of a Unix path (Wine maps drive Z: to /).
zx_winpath() { local p; p=$(readlink -m "$1"); echo "Z:${p//\//\\}"; }
