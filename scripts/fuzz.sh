#!/usr/bin/env bash
# Builds the native fuzz targets of the pure parsers (tests/fuzz, clang with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and runs each
# on its committed seed corpus, for as long as one asks.
#
# Usage: fuzz.sh [--bounded] [--runs N] [--seconds N] [--total-seconds N]
#                [--build-dir DIR] [TARGET...]
#   --bounded          the test command's step: every target for a fixed
#                      number of runs (the default, 50000 runs each)
#   --runs N           every target for N executions
#   --seconds N        every target for N seconds
#   --total-seconds N  N seconds shared out evenly among the targets
#   --build-dir DIR    where the native build goes (default: build/fuzz of
#                      the checkout, or $ZX_BUILD_DIR/fuzz)
#   TARGET             only these targets (default: all)
# Prints per target the executions and the findings, and exits non-zero
# when a target found something. Inputs that made a target fail are kept in
# <build dir>/findings/<target>/; new corpus entries in <build dir>/corpus/.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
build="${ZX_BUILD_DIR:-$root/build}/fuzz"
runs=50000
seconds=
total=
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --bounded) runs=50000; seconds=; total= ;;
    --runs) runs="$2"; seconds=; total=; shift ;;
    --seconds) seconds="$2"; total=; shift ;;
    --total-seconds) total="$2"; seconds=; shift ;;
    --build-dir) build="$2"; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

all=(fuzz_list_file fuzz_ini fuzz_value_text fuzz_variant fuzz_frame_header fuzz_markup fuzz_skin_values
     fuzz_size_text)
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")
if [ -n "$total" ]; then
  seconds=$(( total / ${#targets[@]} ))
  [ "$seconds" -gt 0 ] || seconds=1
fi

command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/setup.sh installs it)" >&2; exit 2; }
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" >/dev/null

status=0
printf '%-20s %12s %10s %9s\n' target executions seconds findings
for t in "${targets[@]}"; do
  seeds="$root/tests/fuzz/corpus/$t"
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  # Each run reads its own log (another run may share the build folder);
  # the last one is kept as <target>.log.
  log="$build/logs/$t.$$.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  limit=(-runs="$runs")
  [ -z "$seconds" ] || limit=(-max_total_time="$seconds")
  before=$(find "$findings" -type f | wc -l)
  start=$(date +%s)
  rc=0
  # New inputs go to the work folder; the committed seeds are only read.
  "$build/$t" "${limit[@]}" -artifact_prefix="$findings/" -print_final_stats=1 \
    "$work" "$seeds" >"$log" 2>&1 || rc=$?
  elapsed=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(( $(find "$findings" -type f | wc -l) - before ))
  if [ "$rc" -ne 0 ] && [ "$found" -eq 0 ]; then found=1; fi
  mv -f "$log" "$build/logs/$t.log"
  log="$build/logs/$t.log"
  printf '%-20s %12s %10s %9s\n' "$t" "${execs:-?}" "$elapsed" "$found"
  if [ "$found" -ne 0 ]; then
    status=1
    echo "  $t failed (exit $rc); log: $log; inputs: $findings" >&2
    grep -m5 -E 'ERROR|runtime error|property failed' "$log" | sed 's/^/  /' >&2 || true
  fi
done
exit $status
