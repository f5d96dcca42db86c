#!/usr/bin/env bash
# Checks, on the build machine, that each capture filter module is a PE DLL
# of the expected machine and exports exactly the four COM entry points by
# their plain names (no stdcall decoration such as DllGetClassObject@12).
# Usage: check-exports.sh OBJDUMP x86-64|i386 DLL [x86-64|i386 DLL ...]
set -euo pipefail
objdump=$1; shift
status=0
while [ $# -ge 2 ]; do
  arch=$1 dll=$2; shift 2
  if [ ! -f "$dll" ]; then
    echo "FAIL $dll: not built"; status=1; continue
  fi
  info=$("$objdump" -p "$dll")
  if ! grep -q "file format pei-$arch" <<<"$info"; then
    echo "FAIL $dll: not a pei-$arch module"; status=1; continue
  fi
  names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^\s*$/{t=0} t{print $NF}' <<<"$info" | sort | tr '\n' ' ')
  want="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
  if [ "$names" != "$want" ]; then
    echo "FAIL $dll: exports are '$names', want '$want'"; status=1; continue
  fi
  echo "ok   $dll ($arch): $names"
done
exit $status
