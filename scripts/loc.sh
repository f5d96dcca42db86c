#!/usr/bin/env bash
# Counts the lines of C++ (.cpp, .h, .c) per top-level folder, and the share
# the tests take of all of it.
#
#   loc.sh [TREE]      TREE defaults to this checkout
#
# What counts as what (keep it this way so figures stay comparable):
# - tests: everything under tests/ (suites, their support code, the test
#   camera and microphone, the fuzz targets);
# - product: every other folder with C++ in it (the program, the kernel, the
#   filter, our own libraries, tools/ and bench/: the benchmarks measure and
#   assert nothing, so they are not tests);
# - build trees (build/, build-*/) are never counted.
set -euo pipefail
tree=$(readlink -f "${1:-$(dirname "$(dirname "$(readlink -f "$0")")")}")
cd "$tree"
count() {  # lines of C++ under $1
  find "$1" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
    xargs -0 -r cat | wc -l
}
product=0; tests=0
printf '%-16s %8s\n' folder lines
for d in */; do
  d=${d%/}
  case "$d" in build|build-*) continue ;; esac
  n=$(count "$d")
  [ "$n" -gt 0 ] || continue
  printf '%-16s %8d\n' "$d" "$n"
  if [ "$d" = tests ]; then tests=$((tests + n)); else product=$((product + n)); fi
done
total=$((product + tests))
printf '%-16s %8d\n%-16s %8d\n%-16s %8d\n' product "$product" tests "$tests" total "$total"
awk -v t="$tests" -v a="$total" 'BEGIN { printf "tests share     %7.1f %%  (a third: tests <= product / 2 = %d)\n", 100 * t / a, (a - t) / 2 }'
