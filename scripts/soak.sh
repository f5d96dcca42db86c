#!/usr/bin/env bash
# The soak of the camera: the kernel host and four camera clients in four
# processes for a long run, then 1,000 connect/disconnect cycles of one
# client, then the kernel host killed while the clients run and started
# again. Prints one table with every figure and its target, and exits
# non-zero when a figure is off. Not part of the test command.
#
#   soak.sh [--minutes N] [--cycles N] [--no-build]
#     --minutes N   length of the run with four clients (default 10)
#     --cycles N    connect/disconnect cycles (default 1000; fewer only to
#                   try the script out)
#     --no-build    use the build as it is (default: scripts/build.sh first)
#
# Everything runs in the build's Wine prefix (build/wineprefix), where the
# filter is registered for the run as the tests register it and
# unregistered again on every exit, Ctrl+C included; the launcher's "Path"
# value is set aside for the run (the kernel host stands in for the main
# program) and put back. The processes' lines, the clients' samples and the
# figures are kept in build/soak/<time>/.
#
# Where the figures come from:
# - frames: the kernel host marks every frame it publishes with its run and
#   the frame's number (ZxVKernelHost --mark); each client
#   (ZxVCamClient --soak) logs every sample with its arrival time, its
#   stamp and the mark it carries, so distinct frames are changes of the
#   mark, and a sample without a mark is black or damaged.
# - handles and private memory of other processes: ZxProcStat (OpenProcess,
#   GetProcessHandleCount, GetProcessMemoryInfo), a Windows tool, so Wine
#   answers; nothing is read from Linux's /proc. Wine 8 answers
#   GetProcessHandleCount with 0, so the tool counts the process's entries in
#   the system's handle table (NtQuerySystemInformation), which Wine fills
#   from its server. Wine 8 leaves PrivateUsage 0 and fills PagefileUsage
#   (the same commit charge on Windows) with the Linux process's resident
#   anonymous memory plus swap, which the tool then reports. The cycling
#   client measures itself the same way (its handle values probed, as the
#   tests count handles).
# - times: every process stamps its lines with the performance counter in
#   microseconds, one clock for all processes of the machine. "Live again"
#   is measured from the restarted host's first published frame to each
#   client's first sample carrying a frame of the new run.
set -euo pipefail
root=$(dirname "$(dirname "$(readlink -f "$0")")")
here="$root/scripts"
minutes=10
cycles=1000
build_first=1
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes=${2:?--minutes needs a number}; shift 2 ;;
    --cycles) cycles=${2:?--cycles needs a number}; shift 2 ;;
    --no-build) build_first=0; shift ;;
    *) echo "usage: soak.sh [--minutes N] [--cycles N] [--no-build]" >&2; exit 2 ;;
  esac
done
case "$minutes$cycles" in ''|*[!0-9]*) echo "soak: --minutes and --cycles take whole numbers" >&2; exit 2 ;; esac
[ "$minutes" -ge 1 ] || { echo "soak: --minutes takes at least 1" >&2; exit 2; }
outage_seconds=3
settle_seconds=3

[ "$build_first" = 1 ] && bash "$here/build.sh"
build="${ZX_BUILD_DIR:-$root/build}"
bin="$build/bin"
for f in ZxVKernelHost.exe ZxVCamClient.exe ZxProcStat.exe ZxCamSrc.dll; do
  [ -f "$bin/$f" ] || { echo "soak: $bin/$f is missing; build first (scripts/build.sh)" >&2; exit 2; }
done
out="$build/soak/$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$out/user"

export ZX_HARNESS="$build"
source "$here/display.sh"
# The prefix, a persistent wineserver (and the virtual display the harness
# brings); stopped at the end only when this script started them.
zx_display_up
exe() { zx_winpath "$bin/$1"; }
# The data, cache and log folders of everything started here, and the
# filter's debug log, inside the run's folder.
export ZXVCAM_DATA_DIR="$(zx_winpath "$out/user/AppData/ZxVCam")\\"
export ZXVCAM_CACHE_DIR="$(zx_winpath "$out/user/Local/ZxVCam/Cache")\\"
export ZXVCAM_LOG_DIR="$(zx_winpath "$out/user/Local/ZxVCam/Log")\\"
export ZXVCAM_FILTER_LOG="$(zx_winpath "$out/filter.log")"
stop_event="ZxVSoakStop-$$"

jobs_started=()
registered=0
cleaning=0
cleanup() {
  [ "$cleaning" = 1 ] && return
  cleaning=1
  set +e
  # Whatever still runs is asked to stop (the hosts and clients wait on the
  # event), given 30 s, and only then killed, each by its own process id.
  if [ ${#jobs_started[@]} -gt 0 ]; then
    "$ZX_WINE" "$(exe ZxProcStat.exe)" signal "$stop_event" >/dev/null 2>&1
    for _ in $(seq 300); do
      alive=0
      for j in "${jobs_started[@]}"; do kill -0 "$j" 2>/dev/null && alive=1; done
      [ "$alive" = 0 ] && break
      sleep 0.1
    done
    for j in "${jobs_started[@]}"; do kill -0 "$j" 2>/dev/null && kill -KILL "$j" 2>/dev/null; done
  fi
  if [ "$registered" = 1 ]; then
    "$ZX_WINE" "$(exe ZxVCamClient.exe)" --unregister >>"$out/registration.txt" 2>&1 ||
      echo "soak: unregistering the filter failed (see $out/registration.txt)" >&2
  fi
  zx_path_restore
  zx_display_down
}
trap cleanup EXIT
trap 'echo "soak: interrupted" >&2; exit 130' INT TERM

# Waits (at most $3 seconds) until file $1 has a line matching $2, while
# the process $4 runs; false when it ended or the time ran out first.
wait_line() {
  grep -m1 -q -- "$2" < <(timeout "$3" tail --pid="$4" -n +1 -F "$1" 2>/dev/null)
}
now_us() { "$ZX_WINE" "$(exe ZxProcStat.exe)" now | tr -d '\r'; }

# The launcher's "Path" values are set aside: a client's graph would
# otherwise start the main program, which the kernel host stands in for here.
zx_path_aside

"$ZX_WINE" "$(exe ZxVCamClient.exe)" --register >"$out/registration.txt" 2>&1 ||
  { echo "soak: the filter did not register (see $out/registration.txt)" >&2; exit 1; }
registered=1

host_job=0
host_pid=0
start_host() {
  local run=$1
  "$ZX_WINE" "$(exe ZxVKernelHost.exe)" --mark "$run" --stop-event "$stop_event" >"$out/host$run.txt" 2>&1 &
  host_job=$!
  jobs_started+=("$host_job")
  if ! wait_line "$out/host$run.txt" "first frame published" 120 "$host_job"; then
    echo "soak: kernel host run $run published no frame (see $out/host$run.txt)" >&2
    exit 1
  fi
  host_pid=$(tr -d '\r' <"$out/host$run.txt" | sed -n 's/^kernel host: pid \([0-9]*\),.*/\1/p')
  echo "soak: kernel host run $run (pid $host_pid) publishing"
}

# The machine's load: the load average, and the share of time runnable
# tasks waited for a processor (Linux's pressure figures, where there are).
load() {
  echo "soak: load $1: $(uptime | sed 's/.*load average/load average/')$( [ -r /proc/pressure/cpu ] &&
    sed -n 's/^some avg10=\([0-9.]*\) avg60=\([0-9.]*\) avg300=\([0-9.]*\).*/, processor waits: \2 % of the last minute, \3 % of 5 minutes/p' /proc/pressure/cpu)"
}
load "at the start"
start_host 1
client_jobs=()
client_pids=()
for n in 1 2 3 4; do
  "$ZX_WINE" "$(exe ZxVCamClient.exe)" --soak "$(zx_winpath "$out/client$n.samples")" --stop-event "$stop_event" \
    >"$out/client$n.txt" 2>&1 &
  client_jobs+=($!)
  jobs_started+=($!)
done
for n in 1 2 3 4; do
  if ! wait_line "$out/client$n.txt" "samples, " 120 "${client_jobs[$((n - 1))]}"; then
    echo "soak: client $n is not receiving (see $out/client$n.txt)" >&2
    exit 1
  fi
  client_pids+=("$(tr -d '\r' <"$out/client$n.txt" | sed -n 's/^client: pid \([0-9]*\)$/\1/p')")
done
echo "soak: four clients receiving (pids ${client_pids[*]}); running $minutes minute(s)"
now_us >"$out/soak-start.txt"

stat_all() {
  "$ZX_WINE" "$(exe ZxProcStat.exe)" stat "$host_pid" "${client_pids[@]}" | tr -d '\r' >"$out/$1.txt" || true
}
sleep 60
stat_all stat-minute1
load "at minute 1"
if [ "$minutes" -gt 1 ]; then
  sleep $(((minutes - 1) * 60))
fi
stat_all stat-end
load "at the end of the run"

echo "soak: $cycles connect/disconnect cycles of one client"
"$ZX_WINE" "$(exe ZxVCamClient.exe)" --cycles "$cycles" 2>&1 | tr -d '\r' >"$out/cycles.txt" || true
grep -E '^cycles: ([0-9]+ cycles|.*failed)' "$out/cycles.txt" | head -5 | sed 's/^/soak: /' || true
# The same cycles without the camera: what the system's own DirectShow
# parts keep per cycle (finding the devices, making a graph), so that the
# camera's share of any growth can be told apart.
echo "soak: $cycles cycles of the same client without the camera (baseline)"
"$ZX_WINE" "$(exe ZxVCamClient.exe)" --cycles "$cycles" --without-camera 2>&1 | tr -d '\r' >"$out/cycles-baseline.txt" || true

echo "soak: killing the kernel host while the clients run"
"$ZX_WINE" "$(exe ZxProcStat.exe)" kill "$host_pid" | tr -d '\r' >"$out/kill.txt" || true
wait "$host_job" 2>/dev/null || true
# The outage lasts long enough for the last frame to go stale.
sleep "$outage_seconds"
start_host 2
# The clients' figures after the restart come from their sample logs; this
# is only the time they are given to show the new run.
sleep "$settle_seconds"
"$ZX_WINE" "$(exe ZxProcStat.exe)" signal "$stop_event" >/dev/null
for j in "${jobs_started[@]}"; do
  for _ in $(seq 300); do kill -0 "$j" 2>/dev/null || break; sleep 0.1; done
done
load "at the end"

/usr/bin/python3 - "$out" "$minutes" "$cycles" <<'PY'
import os, re, sys

out, minutes, cycles = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rows = []  # (figure, value, target, ok or None)

def read(name):
    try:
        with open(os.path.join(out, name), encoding="utf-8", errors="replace") as f:
            return f.read().replace("\r", "")
    except OSError:
        return ""

def number(pattern, text, kind=float):
    m = re.search(pattern, text, re.M)
    return kind(m.group(1)) if m else None

def row(figure, value, target="", ok=None):
    rows.append((figure, value, target, ok))

soak_start = number(r"^(\d+)", read("soak-start.txt"))
host1 = read("host1.txt")
host2 = read("host2.txt")
host2_start = number(r"started at (\d+) us", host2)
host2_first = number(r"first frame published at (\d+) us", host2)
killed_at = number(r"killed at (\d+) us", read("kill.txt"))

def stats(name):
    table = {}
    for line in read(name).splitlines():
        m = re.match(r"(\d+) pid (\d+) handles (-?\d+) via (\S+) private (-?\d+) via (\S+)", line)
        if m:
            table[int(m.group(2))] = (float(m.group(1)), int(m.group(3)), int(m.group(5)), m.group(4), m.group(6))
    return table

minute1, end = stats("stat-minute1.txt"), stats("stat-end.txt")
soak_end = max((v[0] for v in end.values()), default=None)

def flat(figure, before, after, unit):
    if before is None or after is None or before <= 0 or after < 0:
        row(figure, "not measured", "within 5 %", False)
        return
    change = (after - before) * 100.0 / before
    fmt = (lambda v: "%d" % v) if unit == "" else (lambda v: "%.1f MB" % (v / 1048576.0))
    row(figure, "%s -> %s (%+.1f %%)" % (fmt(before), fmt(after), change), "within 5 %", abs(change) <= 5.0)

def processes(label, pid):
    a, b = minute1.get(pid), end.get(pid)
    flat("%s handles, minute 1 -> end" % label, a and a[1], b and b[1], "")
    flat("%s private memory, minute 1 -> end" % label, a and a[2], b and b[2], "MB")

host_pid = number(r"pid (\d+),", host1, int)
ticks = [(int(a), int(b)) for a, b in re.findall(r"^\s*(\d+) s: \d+ frames published \((\d+) in all\)", host1, re.M)]
if len(ticks) >= 2:
    row("kernel host frames published per second (run 1)", "%.2f" % ((ticks[-1][1] - ticks[0][1]) / float(ticks[-1][0] - ticks[0][0])),
        "(shown)")
processes("kernel host", host_pid)
sources = sorted({v[3] for v in list(minute1.values()) + list(end.values())} |
                 {v[4] for v in list(minute1.values()) + list(end.values())})

for n in range(1, 5):
    label = "client %d" % n
    pid = number(r"^client: pid (\d+)", read("client%d.txt" % n), int)
    samples = []
    for line in read("client%d.samples" % n).splitlines():
        p = line.split()
        if len(p) == 5:
            samples.append((float(p[0]), int(p[1]), p[2] == "1", int(p[3]), int(p[4])))
    if not samples or soak_start is None or soak_end is None:
        row(label + " distinct frames per second", "no samples", ">= 19", False)
        processes(label, pid)
        continue
    # The run with four clients: from the first marked frame (plus one second
    # of graph start-up) or the soak's start, whichever is later, to its end.
    first_live = next((s[0] for s in samples if s[2]), None)
    lo = max(soak_start, (first_live or soak_start) + 1e6)
    window = [s for s in samples if lo <= s[0] <= soak_end]
    seconds = (soak_end - lo) / 1e6
    distinct, last, per_second, worst = 0, None, {}, None
    for s in window:
        key = (s[3], s[4]) if s[2] else None
        if key is not None and key != last:
            distinct += 1
            sec = int((s[0] - lo) // 1e6)
            per_second[sec] = per_second.get(sec, 0) + 1
        if key is not None:
            last = key
    whole = int(seconds)
    if whole > 0:
        worst = min(per_second.get(i, 0) for i in range(whole))
    rate = distinct / seconds if seconds > 0 else 0
    row(label + " distinct frames per second", "%.2f (%d in %.1f s)" % (rate, distinct, seconds), ">= 19", rate >= 19)
    row(label + " worst single second", "%s distinct frames" % worst, "(shown)")
    # The host numbers its frames one by one, so the numbers tell how many
    # it published meanwhile: what the client missed beyond what the host
    # never made.
    marked = [s for s in window if s[2] and s[3] == 1]
    if len(marked) >= 2:
        published = marked[-1][4] - marked[0][4] + 1
        row(label + " frames received of those published", "%d of %d (%.1f %%)" %
            (distinct, published, distinct * 100.0 / published), "(shown)")
    unmarked = sum(1 for s in window if not s[2])
    row(label + " samples in the run", "%d (%.2f per s), %d unmarked" %
        (len(window), len(window) / seconds if seconds > 0 else 0, unmarked), "(shown)")
    # Stamps: they must span the wall time (one graph run, never restarted)
    # and only increase.
    stamped = [s for s in window if s[1] >= 0]
    if len(stamped) >= 2:
        stamp_span = (stamped[-1][1] - stamped[0][1]) / 1e7
        wall_span = (stamped[-1][0] - stamped[0][0]) / 1e6
        backwards = sum(1 for a, b in zip(stamped, stamped[1:]) if b[1] <= a[1])
        ok = wall_span > 0 and abs(stamp_span - wall_span) <= 0.01 * wall_span and backwards == 0
        row(label + " stamp span vs wall time", "%.2f s vs %.2f s, %d not increasing" % (stamp_span, wall_span, backwards),
            "within 1 %, increasing", ok)
    else:
        row(label + " stamp span vs wall time", "no stamps", "within 1 %, increasing", False)
    processes(label, pid)
    # The outage: from the kill to the restarted host's first frame.
    if killed_at and host2_first:
        gap_window = [s for s in samples if killed_at <= s[0] <= host2_first]
        times = [killed_at] + [s[0] for s in gap_window] + [host2_first]
        largest = max(b - a for a, b in zip(times, times[1:])) / 1e6
        span = (host2_first - killed_at) / 1e6
        per_s = len(gap_window) / span if span > 0 else 0
        row(label + " samples with the host gone", "%d in %.2f s (%.2f per s), gap %.3f s" %
            (len(gap_window), span, per_s, largest), ">= 19 per s, gap <= 0.5 s", per_s >= 19 and largest <= 0.5)
        first_new = next((s[0] for s in samples if s[0] >= host2_first and s[2] and s[3] == 2), None)
        if first_new is None:
            row(label + " live after the restart's first frame", "never", "<= 1 s", False)
        else:
            delay = (first_new - host2_first) / 1e6
            row(label + " live after the restart's first frame", "%.3f s (%.3f s after the host started)" %
                (delay, (first_new - host2_start) / 1e6 if host2_start else float("nan")), "<= 1 s", delay <= 1.0)
    else:
        row(label + " samples with the host gone", "not measured", ">= 19 per s, gap <= 0.5 s", False)
        row(label + " live after the restart's first frame", "not measured", "<= 1 s", False)

def cycle_figures(name):
    text = read(name)
    f = {"text": text}
    f["done"] = number(r"^cycles: (\d+) cycles, \d+ failures", text, int)
    f["failures"] = number(r"^cycles: \d+ cycles, (\d+) failures", text, int)
    f["took"] = number(r"^cycles: \d+ cycles, \d+ failures, ([\d.]+) s", text)
    for when in ("before", "warm", "after"):
        f[when + "_h"] = number(r"^cycles: %s: handles (\d+)" % when, text, int)
        f[when + "_m"] = number(r"^cycles: %s: handles \d+ private (\d+)" % when, text, int)
    m = re.search(r"^cycles: handles added since the warm-up, by type:(.*)$", text, re.M)
    f["types"] = m.group(1).strip() if m else "?"
    return f

cam, base = cycle_figures("cycles.txt"), cycle_figures("cycles-baseline.txt")
row("cycles completed, failures", "%s of %d, %s failures%s" % (cam["done"], cycles, cam["failures"],
    ", %.0f s" % cam["took"] if cam["took"] else ""), "%d, 0 failures" % cycles,
    cam["done"] == cycles and cam["failures"] == 0)
def growth(f):
    return None if f["warm_h"] is None or f["after_h"] is None else f["after_h"] - f["warm_h"]
for label, f in (("cycling client", cam), ("baseline without the camera", base)):
    g = growth(f)
    row("%s handles after 10 -> after %d cycles" % (label, cycles),
        "not measured" if g is None else "%d -> %d (%+d; added: %s)" % (f["warm_h"], f["after_h"], g, f["types"]),
        "(shown)")
bound = cycles // 100
gc, gb = growth(cam), growth(base)
row("handle growth of the camera's cycles beyond the baseline",
    "not measured" if gc is None or gb is None else "%+d" % (gc - gb),
    "<= %d (1 %% of the cycles)" % bound, gc is not None and gb is not None and gc - gb <= bound)
row("cycling client private memory before the first cycle",
    "%.1f MB" % (cam["before_m"] / 1048576.0) if cam["before_m"] else "not measured", "(shown)")
flat("cycling client private memory after 10 -> after %d cycles" % cycles, cam["warm_m"], cam["after_m"], "MB")
if host2_start and host2_first:
    row("restarted host: start to first published frame", "%.3f s" % ((host2_first - host2_start) / 1e6), "(shown)")

width = max(len(r[0]) for r in rows)
vwidth = max(len(str(r[1])) for r in rows)
print()
print("Soak: %d minute(s), four clients; handles and memory via %s" % (minutes, ", ".join(sources) or "nothing"))
print("%-*s  %-*s  %-28s  %s" % (width, "figure", vwidth, "value", "target", "result"))
print("-" * (width + vwidth + 44))
bad = 0
for figure_, value, target, ok in rows:
    result = "" if ok is None else ("ok" if ok else "OFF")
    if ok is False:
        bad += 1
    print("%-*s  %-*s  %-28s  %s" % (width, figure_, vwidth, value, target, result))
print()
print("soak: %s; files in %s" % ("every figure on target" if bad == 0 else "%d figure(s) off" % bad, out))
with open(os.path.join(out, "table.txt"), "w") as f:
    for figure_, value, target, ok in rows:
        f.write("%s\t%s\t%s\t%s\n" % (figure_, value, target, "" if ok is None else ("ok" if ok else "OFF")))
sys.exit(1 if bad else 0)
PY
