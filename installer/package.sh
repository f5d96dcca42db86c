#!/usr/bin/env bash
# Makes the two packages of a build: the installer (NSIS) and the portable
# zip, from the same staged files: the 64-bit binaries and resources of
# BIN, the 32-bit filter and check tool of X86BIN in x86\, stripped of
# their debugging information.
# Usage: package.sh BIN X86BIN OUTDIR VERSION
set -euo pipefail
bin=$(readlink -m "$1"); x86bin=$(readlink -m "$2"); out=$(readlink -m "$3"); version=$4
here=$(dirname "$(readlink -f "$0")")
root=$(dirname "$here")
stage="$out/stage/ZxVCam"
rm -rf "$out/stage"
mkdir -p "$stage/x86"

files=(ZxVCam.exe ZxVKernal.dll ZxMusicCore.dll ZxModConfig.dll ZxLog.dll LibStream.dll LibWaveOut.dll
       ZxCamSrc.dll ZxCamCheck.exe ZxCamMF.dll ZxCamMFReg.exe)
for f in "${files[@]}"; do
  x86_64-w64-mingw32-strip --strip-debug -o "$stage/$f" "$bin/$f"
done
# The crash reporter ships once it is built.
nsis_defs=()
if [ -f "$bin/DumpReport.exe" ]; then
  x86_64-w64-mingw32-strip --strip-debug -o "$stage/DumpReport.exe" "$bin/DumpReport.exe"
  nsis_defs+=(-DHAVE_DUMPREPORT)
fi
for f in ZxCamSrc.dll ZxCamCheck.exe; do
  i686-w64-mingw32-strip --strip-debug -o "$stage/x86/$f" "$x86bin/$f"
done
cp "$bin/default.jpg" "$bin/Logo.png" "$bin/help.html" "$stage/"
for d in filter pendant skin wav; do
  cp -r "$bin/$d" "$stage/$d"
done
# The short text, with Windows line ends.
sed 's/$/\r/' "$here/README.txt" > "$stage/README.txt"
cp "$root/resources/ZxVCam.ico" "$out/stage/ZxVCam.ico"
# The installer's own helper (it starts the program un-elevated), beside the
# folder that is installed and zipped, not in it.
x86_64-w64-mingw32-strip --strip-debug -o "$out/stage/ZxStartAsUser.exe" "$bin/ZxStartAsUser.exe"

# The installer. makensis 3.08 crashes under the plain C locale (seen here
# with LC_ALL=C, on this script unchanged), so it gets a UTF-8 one.
( cd "$here" && LC_ALL=C.UTF-8 makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out/ZxVCamSetup.exe" \
    "${nsis_defs[@]}" ZxVCamSetup.nsi )
# The portable zip: the same files in a folder ZxVCam.
rm -f "$out/ZxVCam-portable.zip"
( cd "$out/stage" && cmake -E tar cf "$out/ZxVCam-portable.zip" --format=zip ZxVCam )
echo "package: $out/ZxVCamSetup.exe ($(stat -c %s "$out/ZxVCamSetup.exe") bytes)"
echo "package: $out/ZxVCam-portable.zip ($(stat -c %s "$out/ZxVCam-portable.zip") bytes)"
