#!/usr/bin/env bash
# Builds the 32-bit filter tree (the 64-bit tree's sub-build): every target,
# or only those ZX_X86_TARGETS names (space-separated) when it is set.
set -euo pipefail
if [ -n "${ZX_X86_TARGETS:-}" ]; then
  # shellcheck disable=SC2086 # the list is split on purpose
  exec cmake --build "$1" --target $ZX_X86_TARGETS
fi
exec cmake --build "$1"
