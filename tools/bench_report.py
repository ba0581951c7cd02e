#!/usr/bin/env python3
"""Runs the benchmark programs with repetitions and prints each measure beside
its anchor as a ratio (ours / theirs; lower is better), with the goal.

The memory programs run three times: with glibc's malloc, and with mimalloc
and with jemalloc preloaded (LD_PRELOAD), the ratios side by side; the other
programs run once, with glibc's. Both sides of a ratio always come from the
same program run, so the anchor is the malloc of the process it is measured
in. Times are medians of the
repetitions: processor time for one thread, where it is what the machine's
load disturbs least, and wall time for two threads, where waiting for the
other thread is part of the cost. The timer lateness row compares the 99th
percentile of the two programs' counters.

Usage: bench_report.py [--build DIR] [--repetitions N] [--min-time S] [--json-dir DIR] [--reuse] [--realistic]
  --json-dir keeps each program's JSON output there; --reuse renders the
  table from JSON files already in that folder without running anything;
  --realistic runs and prints only the rows of the realistic workloads.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

# The allocators of the columns: the name, and the Debian package and file of
# the library preloaded for it (none for glibc's own).
ALLOCATORS = [("glibc", None, None), ("mimalloc", "libmimalloc2.0", "libmimalloc.so.2"),
              ("jemalloc", "libjemalloc2", "libjemalloc.so.2")]

# The workloads a server gives packets (see bench/PacketLoadBodies.h), every
# one against std::shared_ptr<unsigned char> over the same process's malloc.
# (measure, program, ours, theirs, time kind, goal per allocator column)
SHARED_PTR = "std::shared_ptr<unsigned char> over malloc"
LIVE = ("BM_LiveSet_Packet", "BM_LiveSet_SharedPtr")
# The same live set with a reply made and dropped each step (a request's
# scratch packet): where the pool's held-back release earns its place.
REPLY = ("BM_LiveSetWithReply_Packet", "BM_LiveSetWithReply_SharedPtr")
# Both threads' processor time per packet: the wall time of two threads
# handing work over moves with whatever else the machine runs.
HANDOFF = ("BM_ProducerConsumer_Packet/process_time/real_time",
           "BM_ProducerConsumer_SharedPtr/process_time/real_time")
FOUR = ("BM_LiveSet_Packet/real_time/threads:4", "BM_LiveSet_SharedPtr/real_time/threads:4")
REALISTIC = [
    ("live set 4,096 x 64 B-8 KiB, system policy", "PacketLoadSystemBench", LIVE, "cpu", (1.15, 1.15, 1.15)),
    ("live set 4,096 x 64 B-8 KiB, buddy pool (policy 2)", "PacketLoadPoolBench", LIVE, "cpu", (0.8, 1.3, None)),
    ("live set 4,096 x 64 B-8 KiB, pool buffers (policy 3)", "PacketLoadPoolBufferBench", LIVE, "cpu",
     (None, None, None)),
    ("live set with a reply per step, system policy", "PacketLoadSystemBench", REPLY, "cpu", (None, None, None)),
    ("live set with a reply per step, buddy pool", "PacketLoadPoolBench", REPLY, "cpu", (None, None, None)),
    ("live set with a reply per step, pool buffers", "PacketLoadPoolBufferBench", REPLY, "cpu", (None, None, None)),
    ("producer/consumer, 1,024 in flight, system policy (CPU of both threads)", "PacketLoadSystemBench", HANDOFF, "cpu",
     (1.0, 1.5, None)),
    ("producer/consumer, 1,024 in flight, buddy pool (CPU of both threads)", "PacketLoadPoolBench", HANDOFF, "cpu", (1.0, 1.5, None)),
    ("producer/consumer, 1,024 in flight, pool buffers (CPU of both threads)", "PacketLoadPoolBufferBench", HANDOFF, "cpu",
     (1.0, 1.5, None)),
    ("4 threads with a live set each, system policy", "PacketLoadSystemBench", FOUR, "real", (None, None, None)),
    ("4 threads with a live set each, buddy pool", "PacketLoadPoolBench", FOUR, "real", (None, None, None)),
    ("4 threads with a live set each, pool buffers", "PacketLoadPoolBufferBench", FOUR, "real", (None, None, None)),
]
LOAD_PROGRAMS = sorted({row[1] for row in REALISTIC})
# Programs whose rows may run in any order (the realistic ones start a thread first).
INTERLEAVED = set(LOAD_PROGRAMS) | {"PrintLogBench"}
# Programs whose rows depend on the allocator: run once per column.
MEMORY_PROGRAMS = set(LOAD_PROGRAMS) | {"MemoryBench", "PacketPolicy2Bench", "PacketPolicy3Bench"}

# A program name with this suffix is the same program run pinned to one
# processor, its threads taking turns on it.
ONE_CORE = "@one-core"


def binary_of(program):
    return program.split("@")[0]


# The single-size loops and the other subsystems.
ROWS = [
    ("packet create+destroy, 64 B, buddy pool (policy 2)", "malloc+free", "PacketPolicy2Bench",
     "BM_PacketCreateDestroy/64", "BM_MallocFree/64", "cpu", 1.5),
    ("packet create+destroy, 4000 B, pool buffers (policy 3)", "malloc+free", "PacketPolicy3Bench",
     "BM_PacketCreateDestroy/4000", "BM_MallocFree/4000", "cpu", 1.5),
    ("packet create+destroy, 64 B, system policy", "malloc+free", "MemoryBench",
     "BM_PacketCreateDestroy/64", "BM_MallocFree/64", "cpu", 1.3),
    ("pool malloc/free, 2 threads, empty pool", "C malloc/free", "PacketPolicy2Bench",
     "BM_PoolMallocFree/0/real_time/threads:2", "BM_CMallocFree/real_time/threads:2", "real", 3.0),
    ("pool malloc/free, 2 threads, pool in use", "C malloc/free", "PacketPolicy2Bench",
     "BM_PoolMallocFree/1/real_time/threads:2", "BM_CMallocFree/real_time/threads:2", "real", 3.0),
    ("CMemPool 64-byte units, 1 thread", "malloc", "MemoryBench",
     "BM_MemPool64/real_time/threads:1", "BM_Malloc64/real_time/threads:1", "cpu", 1.0),
    ("CMemPool 64-byte units, 2 threads", "malloc", "MemoryBench",
     "BM_MemPool64/real_time/threads:2", "BM_Malloc64/real_time/threads:2", "real", 2.0),
    ("CBuffer appends, step 0", "std::vector<uint8_t> appends", "MemoryBench",
     "BM_BufferAppend/0", "BM_VectorAppend", "cpu", 3.0),
    ("CBuffer appends, step 4096", "std::vector<uint8_t> appends", "MemoryBench",
     "BM_BufferAppend/4096", "BM_VectorAppend", "cpu", 1.5),
    ("packet copy, 2 threads", "std::shared_ptr copy", "MemoryBench",
     "BM_PacketCopy/real_time/threads:2", "BM_SharedPtrCopy/real_time/threads:2", "real", 1.0),
    ("timer start+stop with 10,000 timers", "locked std::multimap insert+erase", "TimerBench",
     "BM_CTimer_StartStop/10000", "BM_LockedMultimap_InsertErase/10000", "cpu", 1.2),
    ("timer lateness p99, 1,000 periodic timers", "a thread sleeping until the due time", "TimerBench",
     "BM_CTimer_PeriodicLateness/iterations:1/real_time", "BM_StdThread_PeriodicLateness/iterations:1/real_time",
     "p99_us", 1000.0),
    ("dropped log call (level filtered out)", "spdlog call below its level", "PrintLogBench",
     "BM_Dozuv2_DroppedCall", "BM_Spdlog_DroppedCall", "cpu", 1.0),
    # A delivered line as a user sees it depends on the free cores. One
    # thread: the cost of a line. Two threads free to run at once: the library
    # formats outside its lock, spdlog's sink formats under its mutex, so
    # spdlog's threads wait for each other and pay for it in processor time;
    # the wall time per line shows how far they ran in parallel. Two threads
    # sharing one core (a busy machine; the program pinned to one processor):
    # they take turns and never meet at a lock, and the line costs what it
    # costs alone. A report that ran on a loaded machine sits between the two.
    ("delivered line, 1 thread, CPU per line", "spdlog formatting into a null sink", "PrintLogBench",
     "BM_Dozuv2_DeliveredLine/threads:1", "BM_Spdlog_FormattedLine/threads:1", "cpu", None),
    ("delivered line, 2 threads, CPU per line", "spdlog formatting into a null sink", "PrintLogBench",
     "BM_Dozuv2_DeliveredLine/threads:2", "BM_Spdlog_FormattedLine/threads:2", "cpu", 1.0),
    ("delivered line, 2 threads, wall time per line", "spdlog formatting into a null sink", "PrintLogBench",
     "BM_Dozuv2_DeliveredLine/threads:2", "BM_Spdlog_FormattedLine/threads:2", "real", None),
    ("delivered line, 2 threads sharing one core, CPU per line", "spdlog formatting into a null sink",
     "PrintLogBench" + ONE_CORE, "BM_Dozuv2_DeliveredLine/threads:2", "BM_Spdlog_FormattedLine/threads:2", "cpu",
     None),
    ("CReadWriteMutex read, 1 thread", "std::shared_mutex shared lock", "LockBench",
     "BM_CReadWriteMutexRead_Default/real_time/threads:1", "BM_StdSharedMutexRead/real_time/threads:1", "cpu", 1.1),
]

# Only the benchmarks the table needs, so a report takes minutes, not an hour.
FILTERS = {
    "TimerBench": "StartStop/10000|LockedMultimap_InsertErase/10000|Lateness",
    "LockBench": "CReadWriteMutexRead_Default|StdSharedMutexRead",
    # The pinned run is for the two-thread delivered lines only.
    "PrintLogBench" + ONE_CORE: "DeliveredLine/threads:2|FormattedLine/threads:2",
}

LATENESS_ROW = next(row for row in ROWS if row[5] == "p99_us")

# Printed under the table, each measured in the same run as the rows it
# explains. (what, rows, program, benchmark, anchor, anchor text, time kind)
# A floor is the least a design costs: the packet record in a heap block, and
# any packet behind the exported calls. A reference is a plain design measured
# alongside: one lock per pool operation, which the pools need once a second
# thread exists. A part is one piece of a row measured alone.
ONE_LOCK = ("Reference, not a bound: a pool with one lock per allocation and per release, written inline with no"
            " call (how two threads take turns at the lock moves it)")
ONE_LOCK_BENCH = "BM_OneLockFreeList64/real_time/threads:2"
RECORD = "Floor of one malloc and free with the packet record written at the block's end, inline with no call"
SHAPE = ("Floor of any packet behind the packet's exported calls (constructor, getBuffer, virtual destructor):"
         " the same block and record from a shared library of its own, nothing else")
ALONE = ("Part of a two-thread pool row: one thread alone on the pool once the process has had two (the lock's"
         " atomic steps, nobody to take turns with)")
POOL_CYCLE = "Part of a pool packet: the pool's own allocation and release through the packet manager, no packet"
FLOORS = [
    (ONE_LOCK, "pool malloc/free, 2 threads", "PacketPolicy2Bench", ONE_LOCK_BENCH,
     "BM_CMallocFree/real_time/threads:2", "C malloc/free, 2 threads", "real"),
    (ONE_LOCK, "CMemPool, 2 threads", "MemoryBench", ONE_LOCK_BENCH, "BM_Malloc64/real_time/threads:2",
     "malloc 64 B, 2 threads", "real"),
    (RECORD, "packet 64 B, system policy", "MemoryBench", "BM_RecordInHeapBlock64", "BM_MallocFree/64",
     "malloc+free 64 B", "cpu"),
    (SHAPE, "packet 64 B, system policy", "MemoryBench", "BM_PacketShape64", "BM_MallocFree/64", "malloc+free 64 B",
     "cpu"),
    (ALONE, "pool malloc/free, 2 threads, pool in use", "PacketPolicy2Bench",
     "BM_PoolMallocFreeAfterThreads/1/real_time", "BM_CMallocFree/real_time/threads:2", "C malloc/free, 2 threads",
     "real"),
    (ALONE, "CMemPool, 2 threads", "MemoryBench", "BM_MemPool64AfterThreads/real_time",
     "BM_Malloc64/real_time/threads:2", "malloc 64 B, 2 threads", "real"),
    (POOL_CYCLE, "packet 64 B, policy 2", "PacketPolicy2Bench", "BM_PoolMallocFree/1/real_time/threads:1",
     "BM_MallocFree/64", "malloc+free 64 B", "cpu"),
]


def preload_of(package, name):
    """The path of the allocator library to preload, found with dpkg; None when it is not installed."""
    try:
        files = subprocess.run(["dpkg", "-L", package], check=True, capture_output=True, text=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return None
    for path in files.split():
        if os.path.basename(path) == name and os.path.exists(path):
            return path
    return None


def run_program(build, program, repetitions, min_time, out, preload):
    binary = binary_of(program)
    args = [os.path.join(build, "bench", binary), "--benchmark_repetitions=%d" % repetitions,
            "--benchmark_report_aggregates_only=true", "--benchmark_min_time=%s" % min_time,
            "--benchmark_out=" + out, "--benchmark_out_format=json"]
    selected = FILTERS.get(program, FILTERS.get(binary))
    if selected:
        args.append("--benchmark_filter=" + selected)
    if binary in INTERLEAVED:
        # Their rows do not depend on running first, so repetitions are
        # interleaved: a change of the machine's load falls on both sides of
        # a ratio alike.
        args.append("--benchmark_enable_random_interleaving=true")
    env = dict(os.environ)
    env.pop("LD_PRELOAD", None)
    if preload:
        env["LD_PRELOAD"] = preload
    print("running %s%s" % (program, " with " + os.path.basename(preload) if preload else ""), file=sys.stderr,
          flush=True)
    pin = None
    if program.endswith(ONE_CORE):
        pin = {min(os.sched_getaffinity(0))}
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, env=env,
                   preexec_fn=(lambda: os.sched_setaffinity(0, pin)) if pin else None)


def read_results(path):
    """A program's aggregates by kind ("median", "cv", ...) and run name, and its load average."""
    with open(path) as f:
        data = json.load(f)
    found = {}
    for bench in data["benchmarks"]:
        if "aggregate_name" in bench:
            found.setdefault(bench["aggregate_name"], {})[bench["run_name"]] = bench
    if "median" not in found:
        # One repetition: its one run is its median.
        found["median"] = {bench["run_name"]: bench for bench in data["benchmarks"] if "error_occurred" not in bench}
    return found, data["context"].get("load_avg")


# This host runs in two speed states (malloc+free 64 B about 6.5 ns in one,
# 10 to 12 ns in the other) and can switch at any time. A ratio compares two
# medians of one program, so it is sound only if that program stayed in one
# state; the malloc anchors, which every memory program measures, show when a
# run met both: the same anchor far apart from one program to the next, or
# repetitions of one program spread wide.
STATE_PROBES = ["BM_MallocFree/64", "BM_MallocFree/4000"]
STATE_SPREAD = 4.0 / 3.0
STATE_CV = 0.15


def speed_state_warnings(results, spreads):
    warnings = []
    for probe in STATE_PROBES:
        seen = {program: found[probe]["cpu_time"] for program, found in results.items() if probe in found}
        if len(seen) > 1 and max(seen.values()) > min(seen.values()) * STATE_SPREAD:
            warnings.append("%s took %s" % (probe, ", ".join("%.1f ns in %s" % (seen[program], program)
                                                           for program in sorted(seen))))
        for program in sorted(seen):
            cv = spreads[program].get(probe)
            if cv is not None and cv["cpu_time"] > STATE_CV:
                warnings.append("%s's repetitions of %s spread by %.0f%%" % (program, probe, 100 * cv["cpu_time"]))
    return warnings


def value(bench, kind):
    if kind == "cpu":
        return bench["cpu_time"]
    if kind == "real":
        return bench["real_time"]
    return bench[kind]


def ratio_cell(found, ours, theirs, kind, goal):
    """One allocator's cell: the ratio, both times, and whether it meets the goal (None: no goal)."""
    if found is None:
        return "not run", None
    if ours not in found or theirs not in found:
        return "not measured", False if goal is not None else None
    a = value(found[ours], kind)
    b = value(found[theirs], kind)
    ratio = a / b if b else float("inf")
    text = "%.2f (%.1f/%.1f ns)" % (ratio, a, b)
    if goal is None:
        return text, None
    met = ratio <= goal
    return "%s <= %g %s" % (text, goal, "yes" if met else "NO"), met


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/default")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--min-time", default="0.3")
    parser.add_argument("--json-dir")
    parser.add_argument("--reuse", action="store_true")
    parser.add_argument("--realistic", action="store_true")
    options = parser.parse_args()

    folder = options.json_dir or tempfile.mkdtemp(prefix="bench-report-")
    os.makedirs(folder, exist_ok=True)
    columns = []
    for name, package, library in ALLOCATORS:
        preload = preload_of(package, library) if package else None
        if package and preload is None:
            print("%s (%s) is not installed: its column is left out" % (name, package), file=sys.stderr)
            continue
        columns.append((name, preload))
    programs = set(LOAD_PROGRAMS) if options.realistic else set(LOAD_PROGRAMS) | {row[2] for row in ROWS}
    results = {}  # (allocator, program) -> medians by run name
    spreads = {}
    loads = []
    for program in sorted(programs):
        for name, preload in columns if program in MEMORY_PROGRAMS else columns[:1]:
            out = os.path.join(folder, "%s-%s.json" % (program, name))
            if not options.reuse:
                run_program(options.build, program, options.repetitions, options.min_time, out, preload)
            found, load = read_results(out)
            results[(name, program)] = found.get("median", {})
            spreads[(name, program)] = found.get("cv", {})
            if load:
                loads.append("%s/%s %.1f" % (program, name, load[0]))

    names = [name for name, _ in columns]
    missed = 0
    goals = 0

    def print_row(measure, anchor, program, ours, theirs, kind, column_goals):
        nonlocal missed, goals
        cells = []
        for name, goal in zip(names, column_goals):
            text, met = ratio_cell(results.get((name, program)), ours, theirs, kind, goal)
            cells.append(text)
            if met is not None:
                goals += 1
                missed += 0 if met else 1
        print("| %s | %s | %s |" % (measure, anchor, " | ".join(cells)))

    header = "| Measure | Anchor | %s |" % " | ".join("ratio with %s (ours/theirs)" % name for name in names)
    rule = "|---|---|%s" % ("---|" * len(names))
    print("Realistic workloads (ratio, then packet/anchor time; the goal after it where there is one):")
    print()
    print(header)
    print(rule)
    for measure, program, (ours, theirs), kind, column_goals in REALISTIC:
        print_row(measure, SHARED_PTR, program, ours, theirs, kind, column_goals[:len(names)])
    if not options.realistic:
        print()
        print("Single-size loops and the other subsystems (goals are against glibc's malloc; programs that are"
              " not memory programs run with glibc's only):")
        print()
        print(header)
        print(rule)
        for measure, anchor, program, ours, theirs, kind, goal in ROWS:
            if kind == "p99_us":
                found = results[(names[0], program)]
                if ours in found and theirs in found:
                    a = value(found[ours], kind)
                    b = value(found[theirs], kind)
                    goals += 1
                    missed += 0 if a <= goal else 1
                    cell = "%.0f us vs %.0f us <= %.0f us %s" % (a, b, goal, "yes" if a <= goal else "NO")
                else:
                    cell = "not measured"
                print("| %s | %s | %s |%s" % (measure, anchor, cell, " not run |" * (len(names) - 1)))
                continue
            print_row(measure, anchor, program, ours, theirs, kind, (goal,) + (None,) * (len(names) - 1))
        print()
        design = None
        for what, rows, program, floor, anchor, anchor_text, kind in FLOORS:
            found = results.get((names[0], program), {})
            if floor in found and anchor in found:
                if what != design:
                    design = what
                    print("%s:" % what)
                a = value(found[floor], kind)
                b = value(found[anchor], kind)
                print("  beside %s (%s): %.1f ns, %.2f of %s." % (rows, program, a, a / b if b else float("inf"),
                                                                 anchor_text))
        lateness = results.get((names[0], "TimerBench"), {}).get(LATENESS_ROW[3])
        if lateness is not None:
            # A timer runs at the first manager cycle whose millisecond is past
            # its due millisecond, so its lateness from the due time is at least
            # 1 ms by design; what the manager adds is the rest.
            print("Timer lateness beyond the 1 ms a timer waits by design (its manager millisecond must pass"
                  " the due one): p50 %.0f us, p99 %.0f us." %
                  (lateness["p50_us"] - 1000.0, lateness["p99_us"] - 1000.0))
        print("MemoryBench, PacketPolicy2Bench and PacketPolicy3Bench run their one-thread benchmarks before any"
              " second thread starts, so those rows are a single-threaded program's: there the library's pool locks"
              " and glibc's allocator and libstdc++'s reference counts all skip their atomic steps.")
    print("The realistic programs start a thread first, so their rows are a threaded process's, and interleave"
          " their repetitions at random.")
    # What the programs were run with, which a reused folder may not share with the options.
    counts = sorted({b.get("repetitions", options.repetitions) for found in results.values() for b in found.values()})
    print("Medians of %s repetitions; 1-minute load average at each program's start: %s." %
          ("/".join(str(c) for c in counts), ", ".join(loads)))
    glibc = {program: found for (name, program), found in results.items() if name == names[0]}
    glibc_spreads = {program: found for (name, program), found in spreads.items() if name == names[0]}
    warnings = speed_state_warnings(glibc, glibc_spreads)
    if warnings:
        print("The host changed speed during this run (%s): rows from those programs are not comparable with"
              " the rest, and their ratios may not hold; run it again." % "; ".join(warnings))
    elif not options.realistic:
        print("The malloc anchors agree from program to program and from repetition to repetition: one speed"
              " state throughout.")
    print("%d of %d goals missed." % (missed, goals))


if __name__ == "__main__":
    main()
