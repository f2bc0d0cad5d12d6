#!/usr/bin/env python3
"""The benchmark's report: one table of the rounds that bench/run ran,
and one of its rounds on the slow disk; or one of bench/run-windows's rounds.

    bench/report.py RESULTS SLOW_RESULTS SLOW_SKIPPED SIZE...
    bench/report.py --windows RESULTS

RESULTS and SLOW_RESULTS hold one round a line, as key=value fields;
SLOW_SKIPPED says why there was no slow disk, when there was none.
"""
import statistics, sys


def read(path):
    runs = {}
    for line in open(path):
        fields = dict(item.split("=", 1) for item in line.split())
        runs.setdefault(fields["size"], []).append(fields)
    return runs


def windows(path):  # per size: the median time, and the worst lateness of the window's loop and of a thread
    print("Size  Rounds  Program s (median)  Lateness max ms  transfer / after last byte  Thread max ms")
    for size, r in read(path).items():
        worst = lambda key: max(float(x[key]) for x in r)
        wall = sorted(float(x["wall_s"]) for x in r)[len(r) // 2]
        print("%-5s %6d  %18.3f  %15.1f  %11.1f / %-14.1f %13.1f" % (size, len(r), wall, worst("lateness_max_ms"),
              worst("transfer_lateness_max_ms"), worst("commit_lateness_max_ms"), worst("thread_lateness_max_ms")))


if sys.argv[1] == "--windows":
    windows(sys.argv[2])
    sys.exit()
path, slow_path, skipped_path, sizes = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]

def values(rows, key):
    return [float(row[key]) for row in rows]

def label(size):
    units = {"K": "KiB", "M": "MiB", "G": "GiB"}
    return size[:-1] + " " + units[size[-1]] if size[-1] in units else size + " B"

def lateness(r, prefix=""):
    return "%.1f / %.1f / %.1f" % (statistics.median(values(r, prefix + "lateness_median_ms")),
                                   max(values(r, prefix + "lateness_p99_ms")),
                                   max(values(r, prefix + "lateness_max_ms")))

def phases(r):
    return "%.1f / %.1f" % (max(values(r, "transfer_lateness_max_ms")), max(values(r, "commit_lateness_max_ms")))

def thread(r):
    return "%.1f" % max(values(r, "thread_lateness_max_ms"))

def show(header, rows):
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(cell.ljust(w) if i == 0 else cell.rjust(w) for i, (cell, w) in enumerate(zip(row, widths))))

runs = read(path)
header = ("Size", "Rounds", "Program s", "Commit s", "+sha256 s", "sha256 cost", "Qt alone s", "curl s",
          "Program/curl", "Qt alone/curl", "Peak RSS MiB", "Lateness ms p50 / p99 / max",
          "Max ms transfer / commit", "Thread max ms", "+sha256 lateness")
rows = []
peak = {}
for size in sizes:
    r = runs[size]
    ratio = statistics.median(float(x["wall_s"]) / float(x["curl_s"]) for x in r)
    qt_ratio = statistics.median(float(x["qt_s"]) / float(x["curl_s"]) for x in r)
    peak[size] = max(values(r, "peak_rss_kib") + values(r, "sha_peak_rss_kib")) / 1024
    cost = statistics.median(float(x["sha_wall_s"]) / float(x["wall_s"]) - 1 for x in r)
    rows.append((label(size), str(len(r)),
                 "%.3f" % statistics.median(values(r, "wall_s")),
                 "%.3f" % statistics.median(values(r, "save_s")),
                 "%.3f" % statistics.median(values(r, "sha_wall_s")),
                 "%+.1f %%" % (100 * cost),
                 "%.3f" % statistics.median(values(r, "qt_s")),
                 "%.3f" % statistics.median(values(r, "curl_s")),
                 "%.2f" % ratio,
                 "%.2f" % qt_ratio,
                 "%.1f" % peak[size],
                 lateness(r), phases(r), thread(r), lateness(r, "sha_")))
show(header, rows)
print()
print("Times are medians of the rounds; a ratio is the median of the rounds' ratios. The program")
print("is timed from the click to the completion box, the others from request to last byte;")
print("the commit runs from the program's last byte to the box (the file made durable and put")
print("in place). +sha256 is the program on a catalogue entry with the file's sha256, and its cost")
print("the median of the rounds' ratios to the program without it, minus one.")
print("Peak RSS is the largest of the rounds; lateness is that of a 10 ms timer from the click")
print("to the completion box: median of the rounds' medians, worst round's p99 and maximum, and")
print("the worst round's maximum before the last byte (transfer) and after it (commit).")
print("Thread max: the worst lateness of a 10 ms sleep in another thread of the program, which")
print("waits for nothing but the processor: what the machine's load alone costs.")
print("Peak memory growth from %s to %s: %+.1f MiB" % (label(sizes[0]), label(sizes[-1]),
                                                       peak[sizes[-1]] - peak[sizes[0]]))
print()
slow = read(slow_path)
if not slow:
    print("Slow disk: skipped, " + open(skipped_path).read().strip())
for size, r in slow.items():
    print("Slow disk: the downloads folder on ext4 on a loop device, its writes limited to %s MB/s" % r[0]["limit"])
    show(("Size", "Rounds", "Program s", "Commit s", "Peak RSS MiB", "Lateness ms p50 / p99 / max",
          "Max ms transfer / commit", "Thread max ms"),
         [(label(size), str(len(r)), "%.3f" % statistics.median(values(r, "wall_s")),
           "%.3f" % statistics.median(values(r, "save_s")),
           "%.1f" % (max(values(r, "peak_rss_kib")) / 1024), lateness(r), phases(r), thread(r))])
