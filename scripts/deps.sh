#!/usr/bin/env bash
# Builds the media libraries LibStream links against -- FFmpeg (libavformat,
# libavcodec, libswscale, libswresample, libavutil), x264 and LAME -- for the
# 64-bit mingw target from Debian's source packages, static, into a cache
# folder outside the clone:
#
#   $ZX_DEPS_ROOT/<key>/        installed headers, static libraries, .pc files
#   $ZX_DEPS_ROOT/<key>/.complete   written last; its presence skips the build
#   $ZX_DEPS_ROOT/current       symbolic link to the newest complete <key>
#
# The key holds the three source versions and a hash of this script's build
# options, so a change of either builds a fresh prefix beside the old one.
# The prefix is printed alone on standard output; progress and the summary
# go to standard error, the build output to log files in the work folder.
#
#   deps.sh            builds what is missing, prints the prefix
#   deps.sh --where    prints the prefix a build makes, builds nothing; exit
#                      status 0 when it is complete, 3 when not yet built
set -euo pipefail
where=0
[ "${1:-}" = --where ] && where=1

ROOT="${ZX_DEPS_ROOT:-/var/cache/zxvcam-deps}"
SRC="$ROOT/src"
HOST=x86_64-w64-mingw32
CC="$HOST-gcc-posix"
CXX="$HOST-g++-posix"
JOBS="${ZX_DEPS_JOBS:-2}"
SOURCES_FILE=/etc/apt/sources.list.d/zxvcam-src.sources

say() { echo "deps: $*" >&2; }
die() { echo "deps: error: $*" >&2; exit 1; }

# --- What the product needs from FFmpeg -------------------------------------
# Playlist file types: mkv asf wmv avi mp4 mpg mov f4v flv rmvb dat ts, plus
# mp3 and wav; recordings are FLV (H.264 + AAC) and MP3.
FF_DEMUXERS="matroska asf avi mov mpegps mpegvideo flv live_flv rm mpegts mp3 wav aac h264"
FF_DECODERS="h264 hevc mpeg4 msmpeg4v1 msmpeg4v2 msmpeg4v3 wmv1 wmv2 wmv3 vc1
  mpeg1video mpeg2video h263 flv vp6 vp6f vp6a vp8 vp9 rv10 rv20 rv30 rv40 mjpeg
  aac aac_latm mp1 mp2 mp3 mp3float ac3 eac3 wmav1 wmav2 wmapro cook sipr ralf
  vorbis opus flac pcm_s16le pcm_s16be pcm_u8 pcm_s24le pcm_s32le pcm_f32le
  pcm_alaw pcm_mulaw pcm_dvd adpcm_ms adpcm_ima_wav adpcm_swf"
FF_PARSERS="h264 hevc mpeg4video mpegvideo mpegaudio aac aac_latm ac3 vc1 vp8 vp9
  h263 flac vorbis opus cook sipr rv30 rv40"
FF_BSFS="h264_mp4toannexb hevc_mp4toannexb aac_adtstoasc extract_extradata"
FF_ENCODERS="libx264 aac libmp3lame"
FF_MUXERS="flv mp3"

ff_opts=(
  --enable-cross-compile --target-os=mingw32 --arch=x86_64
  --cross-prefix="$HOST-" --cc="$CC" --cxx="$CXX"
  --pkg-config=pkg-config --pkg-config-flags=--static
  --enable-static --disable-shared --enable-gpl
  --disable-autodetect --disable-everything
  --disable-programs --disable-doc --disable-network --disable-debug
  --disable-avdevice --disable-avfilter --disable-postproc
  --enable-avformat --enable-avcodec --enable-swscale --enable-swresample
  --enable-w32threads --enable-libx264 --enable-libmp3lame
  --enable-protocol=file
)
for d in $FF_DEMUXERS; do ff_opts+=("--enable-demuxer=$d"); done
for d in $FF_DECODERS; do ff_opts+=("--enable-decoder=$d"); done
for p in $FF_PARSERS;  do ff_opts+=("--enable-parser=$p"); done
for b in $FF_BSFS;     do ff_opts+=("--enable-bsf=$b"); done
for e in $FF_ENCODERS; do ff_opts+=("--enable-encoder=$e"); done
for m in $FF_MUXERS;   do ff_opts+=("--enable-muxer=$m"); done

x264_opts=(--host="$HOST" --cross-prefix="$HOST-" --enable-static --disable-cli
  --disable-opencl --enable-win32thread --enable-pic --bit-depth=8 --chroma-format=all)
lame_opts=(--host="$HOST" --enable-static --disable-shared --disable-frontend
  --disable-gtktest --disable-analyzer-hooks --disable-decoder)

# --- Source versions ---------------------------------------------------------
have_cmd() { command -v "$1" >/dev/null 2>&1; }

ensure_tools() {
  local need=() p
  for p in dpkg-dev nasm make pkg-config xz-utils patch; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
  done
  if [ "${#need[@]}" -gt 0 ]; then
    [ "$(id -u)" = 0 ] || die "missing packages ${need[*]}; run as root"
    say "installing ${need[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}" >&2
  fi
}

# A deb-src entry of our own, mirroring the distribution's deb entries, so
# `apt-get source` knows the source packages. Only that file's lists are
# refreshed; the other lists stay as they are.
ensure_deb_src() {
  if [ ! -f "$SOURCES_FILE" ]; then
    [ "$(id -u)" = 0 ] || die "no deb-src entry ($SOURCES_FILE); run as root once"
    local base=/etc/apt/sources.list.d/debian.sources
    [ -f "$base" ] || die "$base not found; cannot derive a deb-src entry"
    sed -e 's/^Types:.*/Types: deb-src/' "$base" > "$SOURCES_FILE"
    say "added $SOURCES_FILE"
  fi
  if ! apt-get source --print-uris -qq ffmpeg >/dev/null 2>&1; then
    [ "$(id -u)" = 0 ] || die "source lists missing; run as root once"
    say "apt-get update (source lists only)"
    apt-get update -q -o Dir::Etc::sourcelist="$SOURCES_FILE" \
      -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 >&2
  fi
}

# Version of the candidate source package, from the .dsc file name apt would fetch.
src_version() {
  apt-get source --print-uris -qq "$1" 2>/dev/null \
    | sed -n "s/^'[^']*\/$1_\([^']*\)\.dsc'.*/\1/p" | head -n1 \
    | sed -e 's/%2[bB]/+/g' -e 's/%3[aA]/:/g' -e 's/%7[eE]/~/g'
}

ensure_tools
ensure_deb_src
V_FFMPEG=$(src_version ffmpeg)
V_X264=$(src_version x264)
V_LAME=$(src_version lame)
[ -n "$V_FFMPEG" ] && [ -n "$V_X264" ] && [ -n "$V_LAME" ] \
  || die "cannot tell the source versions (ffmpeg '$V_FFMPEG', x264 '$V_X264', lame '$V_LAME')"

OPT_HASH=$( { printf '%s\n' "$CC" "${ff_opts[@]}" "${x264_opts[@]}" "${lame_opts[@]}"; } \
  | sha256sum | cut -c1-12)
KEY="ffmpeg-${V_FFMPEG}_x264-${V_X264}_lame-${V_LAME}_${OPT_HASH}"
KEY=${KEY//[^A-Za-z0-9._+-]/_}
PREFIX="$ROOT/$KEY"

cached() {
  if [ -f "$PREFIX/.complete" ]; then
    ln -sfn "$KEY" "$ROOT/current"
    say "cached $PREFIX"
    echo "$PREFIX"
    exit 0
  fi
}
cached
if [ "$where" = 1 ]; then
  echo "$PREFIX"
  exit 3
fi
# Two builds on one machine (two clones, or a build and a test run) share the
# cache: one builds, the other waits for it and then takes what it built.
mkdir -p "$ROOT"
exec 9>"$ROOT/.lock"
if ! flock -n 9; then
  say "another build of the media libraries runs; waiting for it"
  flock 9
fi
cached

# --- Build -------------------------------------------------------------------
start=$(date +%s)
mkdir -p "$SRC"
WORK="$SRC/$KEY"
rm -rf "$WORK" "$PREFIX"
mkdir -p "$WORK" "$PREFIX"
LOGS="$WORK/logs"
mkdir -p "$LOGS"
export PKG_CONFIG_PATH="$PREFIX/lib/pkgconfig"
export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig"

fetch() { # package -> prints the unpacked folder (the candidate version)
  local pkg=$1 dir
  ( cd "$WORK" && apt-get source -q --only-source "$pkg" ) >"$LOGS/$pkg-fetch.log" 2>&1 \
    || die "apt-get source $pkg failed (see $LOGS/$pkg-fetch.log)"
  dir=$(find "$WORK" -maxdepth 1 -mindepth 1 -type d -name "$pkg-*" | head -n1)
  [ -n "$dir" ] || die "no unpacked $pkg source in $WORK"
  echo "$dir"
}

run_logged() { # log-name command...
  local log="$LOGS/$1.log"; shift
  "$@" >>"$log" 2>&1 || die "$* failed (see $log)"
}

say "building into $PREFIX (logs in $LOGS)"

# x264 and LAME do not depend on each other and are built side by side (much
# of each is a configure script on one core); FFmpeg's source is unpacked
# meanwhile. FFmpeg's configure looks for both, so it comes after them.
x264_dir=$(fetch x264)
lame_dir=$(fetch lame)
say "x264 $V_X264 and lame $V_LAME"
( cd "$x264_dir" && export CC && run_logged x264 ./configure --prefix="$PREFIX" "${x264_opts[@]}" \
  && run_logged x264 make -j"$JOBS" && run_logged x264 make install-lib-static ) &
x264_pid=$!
( cd "$lame_dir" && export CC && run_logged lame ./configure --prefix="$PREFIX" "${lame_opts[@]}" \
  && run_logged lame make -j"$JOBS" && run_logged lame make install ) &
lame_pid=$!
dir=$(fetch ffmpeg)
wait "$x264_pid" || die "x264 failed (see $LOGS/x264.log)"
wait "$lame_pid" || die "lame failed (see $LOGS/lame.log)"
say "ffmpeg $V_FFMPEG"
( cd "$dir" && run_logged ffmpeg ./configure --prefix="$PREFIX" "${ff_opts[@]}" \
    --extra-cflags="-I$PREFIX/include" --extra-ldflags="-L$PREFIX/lib" \
  && run_logged ffmpeg make -j"$JOBS" && run_logged ffmpeg make install )

for lib in avformat avcodec swscale swresample avutil x264 mp3lame; do
  [ -f "$PREFIX/lib/lib$lib.a" ] || die "lib$lib.a missing after the build"
done
printf 'ffmpeg %s\nx264 %s\nlame %s\noptions %s\n' "$V_FFMPEG" "$V_X264" "$V_LAME" "$OPT_HASH" \
  > "$PREFIX/.complete"
ln -sfn "$KEY" "$ROOT/current"
say "built $KEY in $(( $(date +%s) - start )) s"
echo "$PREFIX"
