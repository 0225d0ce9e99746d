#!/usr/bin/env python3
"""Runs Lightdeck's benchmarks (built by scripts/bench) and prints one table:
figure | measured | target | ratio | met.

ratio is measured / target. For a ceiling ("<=") a ratio at or below 1 is met;
for a floor (">=") a ratio at or above 1. Rows without a target are context.
"""
import argparse
import json
import os
import platform
import statistics
import subprocess
import sys
import tempfile
import time

QUIET_ENV = {"QT_QPA_PLATFORM": "offscreen", "QT_LOGGING_RULES": "qt.*=false"}


def run_bench(build, program, bench_filter, extra=()):
    path = os.path.join(build, "bench", program)
    env = dict(os.environ, **QUIET_ENV)
    env.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(prefix="lightdeck-bench-rt-"))
    cmd = [path, "--benchmark_format=json", "--benchmark_filter=" + bench_filter, *extra]
    out = subprocess.run(cmd, env=env, check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return {b["name"]: b for b in json.loads(out.stdout)["benchmarks"]}


def pick(results, name):
    """The run called name, or name with Google Benchmark's suffixes
    ("/iterations:40/manual_time")."""
    if name in results:
        return results[name]
    for key, value in results.items():
        if key.startswith(name + "/iterations") or key.startswith(name + "/manual_time"):
            return value
    raise KeyError(name)


def to_us(b):
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
    return b["real_time"] * scale


def time_to_first_paint(command, env, runs):
    """Wall time from launch to the process's "startup:" line, in ms."""
    figures = []
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        took = None
        for line in proc.stderr:
            if line.startswith("startup:"):
                took = (time.perf_counter() - start) * 1000.0
                break
        proc.stderr.close()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        if took is not None:
            figures.append(took)
    return figures


def startup(build, runs):
    scratch = tempfile.mkdtemp(prefix="lightdeck-bench-")
    runtime = os.path.join(scratch, "runtime")
    os.mkdir(runtime, 0o700)
    env = dict(os.environ, **QUIET_ENV, LIGHTDECK_TRACE_STARTUP="quit",
               XDG_CONFIG_HOME=os.path.join(scratch, "config"), XDG_RUNTIME_DIR=runtime)
    app = time_to_first_paint([os.path.join(build, "src", "lightdeck"), "--simulate"], env, runs)
    bare = time_to_first_paint([os.path.join(build, "bench", "bench_bare_window")], env, runs)
    return app, bare


class Table:
    def __init__(self):
        self.rows = []

    def add(self, figure, measured, unit, target=None, kind=None, digits=1):
        if target is None:
            self.rows.append((figure, f"{measured:,.{digits}f} {unit}", "", "", ""))
            return
        ratio = measured / target if target else float("inf")
        met = ratio <= 1.0 if kind == "<=" else ratio >= 1.0
        self.rows.append((figure, f"{measured:,.{digits}f} {unit}", f"{kind} {target:,g} {unit}",
                          f"{ratio:.2f}", "yes" if met else "NO"))

    def print(self, markdown):
        head = ("figure", "measured", "target", "ratio", "met")
        if markdown:
            print("| " + " | ".join(head) + " |")
            print("|" + "---|" * len(head))
            for r in self.rows:
                print("| " + " | ".join(r) + " |")
            return
        widths = [max(len(str(r[i])) for r in [head, *self.rows]) for i in range(len(head))]
        line = "  ".join(h.ljust(w) for h, w in zip(head, widths))
        print(line)
        print("-" * len(line))
        for r in self.rows:
            print("  ".join(str(c).ljust(w) if i == 0 else str(c).rjust(w) for i, (c, w) in enumerate(zip(r, widths))))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--markdown", action="store_true")
    parser.add_argument("--startup-runs", type=int, default=10)
    args = parser.parse_args()
    t = Table()
    min_time = ["--benchmark_min_time=0.3"]

    m = run_bench(args.build, "bench_manager", ".", min_time)
    for n in (1, 10, 100):
        t.add(f"dispatch to {n} light(s), log off", to_us(m[f"BM_Dispatch/{n}"]), "us",
              75.0 if n == 100 else None, "<=", 2)
    t.add("dispatch to 100 lights, log on", to_us(m["BM_DispatchLogOn/100"]), "us", None, None, 2)

    s = pick(run_bench(args.build, "bench_simulator", "BM_GroupSkew"), "BM_GroupSkew")
    t.add("group skew, 20 lights: writeDataWithData returns (app part)", s["dispatch_us"], "us", None, None, 1)
    t.add("group skew, 20 lights, first to last (median frame)", s["spread_ms"], "ms", 7.5, "<=", 2)
    t.add("group skew, 20 lights, first to last (90th percentile)", s["spread_p90_ms"], "ms", None, None, 2)
    t.add("group skew, 20 lights, first to last (worst of 40)", s["spread_worst_ms"], "ms", None, None, 2)
    t.add("group skew, 20 lights, release to last (median frame)", s["total_ms"], "ms", 22.5, "<=", 2)
    t.add("group skew, 20 lights, release to last (90th percentile)", s["total_p90_ms"], "ms", None, None, 2)
    t.add("group skew, 20 lights, release to last (worst of 40)", s["total_worst_ms"], "ms", None, None, 2)

    t.add("report ingest, log off", m["BM_IngestReports"]["items_per_second"] / 1e6, "M/s", 1.0, ">=", 2)
    t.add("report ingest, log on", m["BM_IngestReportsLogOn"]["items_per_second"] / 1e6, "M/s", None, None, 2)
    t.add("memory per stored 7-byte report (heap)", m["BM_IngestReports"]["heap_bytes_per_report"], "B", 16, "<=", 2)
    t.add("memory per 7-byte report in plain vector lists (old layout)",
          pick(m, "BM_PlainListsMemory")["heap_bytes_per_report"], "B", None, None, 1)
    t.add("memory per stored 7-byte report (store capacity)",
          m["BM_IngestReports"]["store_bytes_per_report"], "B", None, None, 2)
    for n in (10_000, 100_000, 1_000_000):
        t.add(f"shield scan, one list, {n:,} reports", to_us(m[f"BM_ShieldScan/{n}"]), "us", None, None, 1)

    c = run_bench(args.build, "bench_control_screen", "BM_BuildControlScreen$|BM_BuildControlScreenWithReports",
                  min_time)
    t.add("control screen build, no reports", to_us(c["BM_BuildControlScreen"]) / 1000, "ms", None, None, 2)
    for n in (10_000, 100_000, 1_000_000):
        t.add(f"control screen build, {n:,} reports", to_us(c[f"BM_BuildControlScreenWithReports/{n}"]) / 1000,
              "ms", 16.0 if n == 1_000_000 else None, "<=", 2)

    t.add("discovery filter, log off", m["BM_DiscoveryFilter"]["items_per_second"] / 1e6, "M adv/s", None, None, 2)
    t.add("discovery filter, log on", m["BM_DiscoveryFilterLogOn"]["items_per_second"] / 1e6, "M adv/s", None,
          None, 3)
    scan = pick(run_bench(args.build, "bench_scan_screen", "BM_ScanScreen"), "BM_ScanScreenDiscovers500Lights")
    t.add("scan screen, 500 lights: longest main-thread stall", scan["longest_stall_ms"], "ms", 16.0, "<=", 2)
    t.add("scan screen, 500 lights: longest stall, main-thread CPU time", scan["longest_stall_cpu_ms"], "ms", 16.0,
          "<=", 2)
    t.add("scan screen, 500 lights: list reloads", scan["list_reloads"], "", None, None, 0)
    t.add("scan screen, 500 lights: rows shown", scan["rows"], "", None, None, 0)

    app, bare = startup(args.build, args.startup_runs)
    if app and bare:
        t.add(f"start-up to first paint, lightdeck --simulate (median of {len(app)})", statistics.median(app), "ms",
              None, None, 1)
        t.add(f"start-up to first paint, bare Qt window (median of {len(bare)})", statistics.median(bare), "ms",
              None, None, 1)
        t.add("start-up, lightdeck / bare window (medians)", statistics.median(app) / statistics.median(bare), "x",
              1.5, "<=", 2)
        t.add("start-up, lightdeck / bare window (best runs)", min(app) / min(bare), "x", None, None, 2)
    else:
        print("start-up: no figure (the programs did not report a first paint)", file=sys.stderr)

    load = os.getloadavg()
    machine = (f"{platform.node()} {platform.machine()}, {os.cpu_count()} cores, "
               f"load {load[0]:.2f} {load[1]:.2f} {load[2]:.2f}, {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}")
    print(f"Run: {machine}, Release build.\n" if args.markdown else f"# {machine}")
    t.print(args.markdown)


if __name__ == "__main__":
    main()
