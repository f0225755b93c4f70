#!/usr/bin/env python3
"""Runs the timed part of run_sweep_bench.sh and prints its figures and ratios.

measure_sweep.py RUNS OUT_DIR SWEEP READ_FLOOR SCAN_BENCH CORPUS RULES LDB SMALL_TREE FIO_FILE

Every program is timed from here as a child process (wall clock, and its CPU time, user +
system, from wait4), after a warm-up run; medians of RUNS runs (of SLOW_RUNS for yara, and
CLAMSCAN_RUNS, default 1, for clamscan, which take a hundred times longer; clamscan runs right
after yara has read the whole corpus, so without a warm-up of its own). The fast passes run interleaved round by round so
that a busy machine affects them alike. The three-set scan is timed inside scan_bench (its
passes exclude the walk). Before timing, the found files of the sweep, yara and clamscan are
compared, and the system calls of the sweep and of the floor are counted with strace.

On a cold cache (the page cache dropped before each run, COLD_RUNS runs, default 3, medians)
the floor and the sweep with -j 1, 2, 8, 32 and its default run against the device's limit for
the sweep's very reads: strace gives the size of each read the sweep makes of a corpus file,
as the 4 KiB pages it spans, and fio makes as many random reads of those sizes at queue depth
32 with direct I/O on FIO_FILE, a file of the corpus's size on the same file system (laid out
by fio once and kept).
"""
import collections
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

DEVNULL = subprocess.DEVNULL


def timed(command):
    """(wall seconds, CPU seconds) of one run with its output thrown away."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=DEVNULL, stderr=DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1):   # 1: something found
        sys.exit("%s failed with exit code %d" % (command[0], code))
    return wall, usage.ru_utime + usage.ru_stime


def medians(samples):
    """Median wall, median CPU, and the best (least) wall time of the runs."""
    return (statistics.median(s[0] for s in samples), statistics.median(s[1] for s in samples),
            min(s[0] for s in samples))


def time_interleaved(commands, runs, warm_up=True):
    """{name: (median wall, median CPU)}; one warm-up round first unless told not to."""
    samples = collections.defaultdict(list)
    for round_number in range(0 if warm_up else 1, runs + 1):
        for name, command in commands.items():
            sample = timed(command)
            if round_number > 0:
                samples[name].append(sample)
    return {name: medians(s) for name, s in samples.items()}


def found_by_sweep(sweep, corpus):
    out = subprocess.run([sweep, "--json", "-j", "2", corpus], stdout=subprocess.PIPE, check=False).stdout
    found = set()
    for line in out.splitlines():
        item = json.loads(line)
        if item["type"] == "found":
            found |= {(item["path"], v.replace(".", "_")) for v in item["variants"]}
    return found


def found_by_yara(rules, corpus):
    out = subprocess.run(["yara", "-p", "2", "-r", rules, corpus], stdout=subprocess.PIPE,
                         check=True, text=True).stdout
    return {tuple(reversed(line.split(" ", 1))) for line in out.splitlines()}


def found_by_clamscan(ldb, corpus):
    out = subprocess.run(["clamscan", "-r", "-i", "--allmatch", "--no-summary", "-d", ldb, corpus],
                         stdout=subprocess.PIPE, stderr=DEVNULL, text=True).stdout
    found = set()
    for line in out.splitlines():
        match = re.fullmatch(r"(.*): (\S+)\.UNOFFICIAL FOUND", line)
        if match:
            found.add((match.group(1), match.group(2)))
    return found


def system_calls(command):
    """{system call: count} of one run, by strace -c (None without strace)."""
    if shutil.which("strace") is None:
        return None
    out = subprocess.run(["strace", "-f", "-c", "-U", "name,calls", "-o", "/dev/stderr"] + command,
                         stdout=DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    calls = {}
    for line in out.splitlines():
        words = line.split()
        if len(words) == 2 and words[1].isdigit():
            calls[words[0]] = int(words[1])
    return calls


def peak_memory_kib(command):
    """Maximum resident set size in KiB, and the wall seconds, from /usr/bin/time -v."""
    start = time.perf_counter()
    out = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=DEVNULL, stderr=subprocess.PIPE,
                         text=True).stderr
    wall = time.perf_counter() - start
    return int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", out).group(1)), wall


def read_mix(sweep, corpus):
    """The sweep's reads of corpus files (-j 1, by strace): (files read, reads, {pages: reads})."""
    out = subprocess.run(["strace", "-f", "-qq", "-y", "-s", "0", "-e", "trace=pread64", "-o",
                          "/dev/stderr", sweep, "-q", "-j", "1", corpus],
                         stdout=DEVNULL, stderr=subprocess.PIPE, text=True).stderr
    inside = os.path.abspath(corpus) + os.sep
    files, mix = set(), collections.Counter()
    for line in out.splitlines():
        match = re.search(r"pread64\(\d+<(.*)>, .*, (\d+), (\d+)\)\s+=\s+(\d+)$", line)
        if match is None or not match.group(1).startswith(inside):
            continue
        offset, got = int(match.group(3)), int(match.group(4))
        files.add(match.group(1))
        if got > 0:
            mix[(offset + got + 4095) // 4096 - offset // 4096] += 1
    return len(files), sum(mix.values()), mix


def fio_job(fio_file, size, mix):
    """fio's command for random reads in the proportions of `mix` ({pages: reads}), queue depth
    32, direct I/O, on a file of `size` bytes; add --number_ios."""
    # Whole percentages that add up to 100 (largest remainders), sizes that get none left out.
    reads = sum(mix.values())
    shares = {pages: 100.0 * count / reads for pages, count in mix.items()}
    whole = {pages: int(share) for pages, share in shares.items()}
    for pages in sorted(shares, key=lambda p: whole[p] - shares[p])[:100 - sum(whole.values())]:
        whole[pages] += 1
    bssplit = ":".join("%dk/%d" % (4 * pages, share) for pages, share in sorted(whole.items()) if share)
    return ["fio", "--name=sweep-reads", "--filename=" + fio_file,
            "--size=%dM" % max(1024, size // 2**20), "--rw=randread", "--bssplit=" + bssplit,
            "--direct=1", "--ioengine=libaio", "--iodepth=32", "--norandommap", "--randrepeat=0",
            "--output-format=json"]


def fio_iops(job, reads):
    """IOPS of one fio run of `reads` reads."""
    out = subprocess.run(job + ["--number_ios=%d" % reads], stdout=subprocess.PIPE,
                         stderr=DEVNULL, check=True, text=True).stdout
    return json.loads(out[out.index("{"):])["jobs"][0]["read"]["iops"]


def drop_caches():
    """Whether the page cache could be dropped (root, and a /proc that lets it)."""
    try:
        subprocess.run(["sync"], check=True)
        with open("/proc/sys/vm/drop_caches", "w") as f:
            f.write("3\n")
        return True
    except OSError:
        return False


def ratio_line(label, value, target, met):
    print("  %-58s %8.2f   target %-8s %s" % (label, value, target, "met" if met else "NOT MET"))


def main():
    runs, out_dir, sweep, floor, scan_bench, corpus, rules, ldb, small_tree, fio_file = sys.argv[1:11]
    runs = int(runs)
    slow_runs = int(os.environ.get("SLOW_RUNS", "3"))
    clamscan_runs = int(os.environ.get("CLAMSCAN_RUNS", "1"))
    files = sum(len(names) for _, _, names in os.walk(corpus))
    small_files = sum(len(names) for _, _, names in os.walk(small_tree))

    # ---- the same findings, the same reads ---------------------------------------------------
    sweep_found, yara_found = found_by_sweep(sweep, corpus), found_by_yara(rules, corpus)
    clam_found = found_by_clamscan(ldb, corpus)
    print("found (file, variant): sweep %d, yara %d, clamscan %d; the same: %s"
          % (len(sweep_found), len(yara_found), len(clam_found),
             "yes" if sweep_found == yara_found == clam_found else "NO"))
    for name, others in (("yara", yara_found), ("clamscan", clam_found)):
        for path, variant in sorted(sweep_found ^ others)[:5]:
            print("  differs from %s: %s %s" % (name, path, variant))
    sweep_calls = system_calls([sweep, "-q", "-j", "1", corpus])
    floor_calls = system_calls([floor, corpus])
    if sweep_calls is not None:
        names = ("openat", "fstat", "newfstatat", "fadvise64", "pread64", "read", "close",
                 "getdents64")
        print("system calls, sweep -j 1 / floor: " + ", ".join(
            "%s %d/%d" % (n, sweep_calls.get(n, 0), floor_calls.get(n, 0)) for n in names))

    # ---- warm cache ----------------------------------------------------------------------------
    fast = time_interleaved({
        "floor": [floor, corpus],
        "sweep1": [sweep, "-i", "-j", "1", corpus],
        "sweep2": [sweep, "-i", "-j", "2", corpus],
        "sweepd": [sweep, "-i", corpus],
    }, runs)
    scan = subprocess.run([scan_bench, "compare", str(runs), corpus], check=True,
                          stdout=subprocess.PIPE, text=True).stdout
    scan3 = tuple(float(x) for x in re.search(r"seconds scan3 (\S+) (\S+)", scan).groups())
    slow = time_interleaved({
        "yara1": ["yara", "-p", "1", "-r", rules, corpus],
        "yara2": ["yara", "-p", "2", "-r", rules, corpus],
    }, slow_runs)
    # yara has just read every byte of the corpus: clamscan finds it in the cache
    clam = time_interleaved({"clamscan": ["clamscan", "-r", "-i", "--no-summary", "-d", ldb,
                                          corpus]}, clamscan_runs, warm_up=False)

    # ---- memory on a large tree ------------------------------------------------------------------
    rss1, small_wall1 = peak_memory_kib([sweep, "-q", "-j", "1", small_tree])
    rss2, small_wall2 = peak_memory_kib([sweep, "-q", "-j", "2", small_tree])
    rssd, small_walld = peak_memory_kib([sweep, "-q", small_tree])
    rss_corpus, _ = peak_memory_kib([sweep, "-i", "-j", "2", corpus])

    # ---- cold cache --------------------------------------------------------------------------------
    cold_runs = int(os.environ.get("COLD_RUNS", "3"))
    cold_commands = {"floor": [floor, corpus], "sweepd": [sweep, "-i", corpus]}
    for threads in (1, 2, 8, 32):
        cold_commands["sweep%d" % threads] = [sweep, "-i", "-j", str(threads), corpus]
    cold = collections.defaultdict(list) if drop_caches() else None
    if cold is not None:
        read_files, reads, mix = read_mix(sweep, corpus)
        corpus_bytes = sum(os.lstat(os.path.join(folder, name)).st_blocks * 512
                           for folder, _, names in os.walk(corpus) for name in names)
        job = fio_job(fio_file, corpus_bytes, mix)
        fio_iops(job, 1)   # lays the file out, once
        iops = []
        for _ in range(cold_runs):   # fio in each round, so that a busy machine affects all alike
            for name, command in cold_commands.items():
                drop_caches()
                cold[name].append(timed(command))
            iops.append(fio_iops(job, reads))
        cold = {name: medians(samples) for name, samples in cold.items()}
        fio_median = statistics.median(iops)
        fio_seconds = reads / fio_median
        bssplit = next(a for a in job if a.startswith("--bssplit=")).split("=", 1)[1]

    # ---- figures -------------------------------------------------------------------------------------
    figures = dict(fast, yara1=slow["yara1"], yara2=slow["yara2"], clamscan=clam["clamscan"],
                   scan3=scan3)
    print("corpus: %d files; warm cache; medians of %d runs (yara: %d, clamscan: %d); "
          "seconds wall / CPU, files per second by wall"
          % (files, runs, slow_runs, clamscan_runs))
    labels = (("floor", "raw-read floor (walk, open, fstat, the sweep's reads, close)"),
              ("sweep1", "purgekit-scan -j 1"), ("sweep2", "purgekit-scan -j 2"),
              ("sweepd", "purgekit-scan, default threads"),
              ("scan3", "ScanFileForSignatures x3 per file (no walk)"),
              ("yara1", "yara -p 1"), ("yara2", "yara -p 2"), ("clamscan", "clamscan (own .ldb only)"))
    for key, label in labels:
        wall, cpu = figures[key][:2]
        print("  %-62s %8.3f / %8.3f  %9.0f files/s" % (label, wall, cpu, files / wall))
    print("peak resident memory: -j 1 %.1f MiB, -j 2 %.1f MiB, default %.1f MiB on %d small files "
          "(%.1f s, %.1f s, %.1f s); -j 2 %.1f MiB on the corpus"
          % (rss1 / 1024, rss2 / 1024, rssd / 1024, small_files, small_wall1, small_wall2,
             small_walld, rss_corpus / 1024))
    if cold is None:
        print("cold cache: not measured (the page cache cannot be dropped here: "
              "/proc/sys/vm/drop_caches not writable)")
    else:
        print("cold cache (page cache dropped before each run), medians of %d runs, seconds wall / "
              "CPU:" % cold_runs)
        cold_labels = (("floor", labels[0][1]), ("sweep1", "purgekit-scan -j 1"),
                       ("sweep2", "purgekit-scan -j 2"), ("sweep8", "purgekit-scan -j 8"),
                       ("sweep32", "purgekit-scan -j 32"), ("sweepd", "purgekit-scan, default threads"))
        for key, label in cold_labels:
            wall, cpu = cold[key][:2]
            print("  %-62s %8.3f / %8.3f  %9.0f files/s" % (label, wall, cpu, files / wall))
        print("  %-62s %8.3f            %9.0f files/s" % (
            "fio, the same %d reads (%.0f IOPS; %s)" % (reads, fio_median, bssplit), fio_seconds,
            read_files / fio_seconds))
    s1, s2 = figures["sweep1"], figures["sweep2"]
    print("ratios (by median wall clock; by CPU time in brackets; the machine's load average "
          "when done: %.1f on %d cores):" % (os.getloadavg()[0], os.cpu_count()))
    ratio_line("sweep -j 1 time / raw-read floor time (cpu %.2f)" % (s1[1] / figures["floor"][1]),
               s1[0] / figures["floor"][0], "<= 1.15", s1[0] / figures["floor"][0] <= 1.15)
    ratio_line("throughput sweep -j 1 / three scans per file (cpu %.2f)" % (scan3[1] / s1[1]),
               scan3[0] / s1[0], ">= 2.5", scan3[0] / s1[0] >= 2.5)
    ratio_line("throughput sweep -j 1 / yara -p 1 (cpu %.0f)" % (figures["yara1"][1] / s1[1]),
               figures["yara1"][0] / s1[0], ">= 150", figures["yara1"][0] / s1[0] >= 150)
    ratio_line("throughput sweep -j 2 / yara -p 2 (cpu %.0f)" % (figures["yara2"][1] / s2[1]),
               figures["yara2"][0] / s2[0], ">= 100", figures["yara2"][0] / s2[0] >= 100)
    ratio_line("throughput sweep -j 1 / clamscan (cpu %.0f)" % (figures["clamscan"][1] / s1[1]),
               figures["clamscan"][0] / s1[0], ">= 1000", figures["clamscan"][0] / s1[0] >= 1000)
    ratio_line("throughput sweep -j 2 / sweep -j 1", s1[0] / s2[0], ">= 1.6", s1[0] / s2[0] >= 1.6)
    ratio_line("the same, best runs (%.3f s / %.3f s)" % (s1[2], s2[2]), s1[2] / s2[2], ">= 1.6",
               s1[2] / s2[2] >= 1.6)
    ratio_line("peak resident memory, MiB, 200,000 files, -j 2", rss2 / 1024, "<= 16",
               rss2 / 1024 <= 16)
    ratio_line("peak resident memory, MiB, 200,000 files, default threads", rssd / 1024, "<= 16",
               rssd / 1024 <= 16)
    sd = figures["sweepd"]
    ratio_line("warm: sweep default time / sweep -j 2 time (cpu %.2f)" % (sd[1] / s2[1]),
               sd[0] / s2[0], "<= 1.15", sd[0] / s2[0] <= 1.15)
    if cold is not None:
        best = min(("sweep1", "sweep2", "sweep8", "sweep32"), key=lambda key: cold[key][0])
        default = cold["sweepd"][0]
        ratio_line("cold: sweep default time / best of -j 1, 2, 8, 32 (%s)" % best.replace("sweep", "-j "),
                   default / cold[best][0], "<= 1.15", default / cold[best][0] <= 1.15)
        ratio_line("cold: sweep default time / fio's time for the same reads", default / fio_seconds,
                   "<= 1.5", default / fio_seconds <= 1.5)
        print("  %-58s %8.2f   (the floor, one thread, for comparison)"
              % ("cold: raw-read floor time / fio's time for the same reads",
                 cold["floor"][0] / fio_seconds))


if __name__ == "__main__":
    main()
