#!/usr/bin/env bash
# Puts each single-line fault of tests/MUTANTS.md into the source in turn,
# builds only the targets the fault names, runs only its ctest entry with its
# cases, and reports whether the suite caught it. The changed file is always
# put back (also on Ctrl-C or an error), and the named targets are built once
# more at the end so the build matches the source again.
#
#   mutants.sh [M01 M07 ...]      all faults, or only those named
#
# Environment: ZX_BUILD_DIR (default build/), ZX_MUTANT_TIMEOUT (seconds per
# run, default 600). Exit code 0 only when every fault was caught.
set -uo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
build="${ZX_BUILD_DIR:-$root/build}"
timeout_s="${ZX_MUTANT_TIMEOUT:-600}"
list="$root/tests/MUTANTS.md"
[ -f "$build/build.ninja" ] || { echo "mutants: no build in $build; run scripts/build.sh first" >&2; exit 2; }

scratch=$(mktemp -d)
exec 9>"$build/.mutants.lock"
flock -n 9 || { echo "mutants: another run uses $build" >&2; exit 2; }

current=""   # the file that holds a fault right now
child=""     # the build or test run in progress
restore() {
  if [ -n "$current" ]; then
    # A fresh time stamp, so the next build recompiles the original.
    cp "$scratch/original" "$root/$current" && touch "$root/$current"
    current=""
  fi
}
trap 'restore; rm -rf "$scratch"' EXIT
# Ends the step in progress at once (its process group), then restores.
trap '[ -n "$child" ] && kill -- -"$child" 2>/dev/null; exit 130' INT TERM
set -m   # each step in a process group of its own
# Runs a step in the background and waits for it, so a signal is handled
# while it runs.
step() {
  "$@" &
  child=$!
  wait "$child"
  local rc=$?
  child=""
  return $rc
}

# One record per fault: id, file, from, to, build, test, filter (tab-separated
# after base64 so that any text survives).
python3 - "$list" "$@" > "$scratch/records" <<'PY' || exit 2
import base64, re, sys
text = open(sys.argv[1], encoding="utf-8").read()
want = set(sys.argv[2:])
keys = ["file", "from", "to", "build", "test", "filter"]
for block in re.split(r"^## ", text, flags=re.M)[1:]:
    ident = block.split()[0]
    if want and ident not in want:
        continue
    fields = {}
    for line in block.splitlines():
        m = re.match(r"- (\w+): `(.*)`\s*$", line)
        if m and m.group(1) in keys:
            fields[m.group(1)] = m.group(2)
    missing = [k for k in keys if k not in fields]
    if missing:
        sys.exit(f"mutants: {ident} lacks {', '.join(missing)}")
    enc = lambda s: base64.b64encode(s.encode()).decode()
    print("\t".join([ident] + [enc(fields[k]) for k in keys]))
PY

dec() { printf '%s' "$1" | base64 -d; }
caught=0; missed=0; broken=0; all_targets=()
results="$scratch/results"
while IFS=$'\t' read -r id f_file f_from f_to f_build f_test f_filter; do
  file=$(dec "$f_file"); from=$(dec "$f_from"); to=$(dec "$f_to")
  targets=$(dec "$f_build"); entry=$(dec "$f_test"); filter=$(dec "$f_filter")
  all_targets+=($targets)
  cp "$root/$file" "$scratch/original" || { echo "$id: no file $file" | tee -a "$results"; broken=$((broken+1)); continue; }
  current="$file"
  if ! python3 - "$root/$file" "$from" "$to" <<'PY'
import sys
path, old, new = sys.argv[1:4]
text = open(path, encoding="utf-8", newline="").read()
n = text.count(old)
if n != 1:
    sys.exit(f"'{old}' occurs {n} times")
open(path, "w", encoding="utf-8", newline="").write(text.replace(old, new))
PY
  then
    restore; echo "$id: NOT APPLIED ($file changed?)" | tee -a "$results"; broken=$((broken+1)); continue
  fi
  echo "== $id: $file; building $targets" >&2
  if ! step nice cmake --build "$build" --target $targets > "$scratch/$id.build.log" 2>&1; then
    restore; echo "$id: does not compile (see the fault's text)" | tee -a "$results"; broken=$((broken+1)); continue
  fi
  echo "== $id: running $entry with $filter" >&2
  if step bash -c 'cd "$1" && GTEST_FILTER="$2" timeout "$3" ctest -R "^$4\$" --output-on-failure' _ \
        "$build" "$filter" "$timeout_s" "$entry" > "$scratch/$id.test.log" 2>&1; then
    echo "$id: MISSED ($entry, $filter)" | tee -a "$results"; missed=$((missed+1))
    tail -5 "$scratch/$id.test.log" >&2
  elif grep -q '\[  FAILED  \]' "$scratch/$id.test.log"; then
    echo "$id: caught ($entry: $(grep -m1 -o '\[  FAILED  \] [A-Za-z0-9_./]*' "$scratch/$id.test.log" | cut -c14-))" |
      tee -a "$results"; caught=$((caught+1))
  else
    # A crash or a timeout also fails the entry; it counts, but say so.
    echo "$id: caught ($entry ended without a failing case: crash or timeout)" | tee -a "$results"
    caught=$((caught+1)); tail -5 "$scratch/$id.test.log" >&2
  fi
  restore
done < "$scratch/records"

if [ ${#all_targets[@]} -gt 0 ]; then
  echo "== rebuilding the named targets from the restored source" >&2
  nice cmake --build "$build" --target $(printf '%s\n' "${all_targets[@]}" | sort -u) > "$scratch/final.build.log" 2>&1 ||
    { echo "mutants: the final build failed" >&2; tail -20 "$scratch/final.build.log" >&2; }
fi
echo "mutants: $caught caught, $missed missed, $broken not run"
[ "$missed" -eq 0 ] && [ "$broken" -eq 0 ]
