#!/usr/bin/env python3
"""Turns the benchmark's samples into the results table (Markdown)."""
import argparse
import datetime
import os
import re
import statistics
import subprocess
from collections import defaultdict

# DLLs that every Windows 10 x64 installation carries: the tests' own list.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                       "system_dlls.txt"), encoding="utf-8") as listing:
    SYSTEM_DLLS = {line.strip() for line in listing if line.strip()}
FIELDS = ["set", "repeat", "round", "variant", "phase", "size", "wall_us", "in_us", "peak_ws",
          "peak_commit", "exit"]
# Each measured program and what its time is divided by, round by round.
RATIOS = [("setup", "floor"), ("setup-files", "floor-files"), ("setup", "peer"),
          ("peer", "floor")]


def load(path):
    rows = []
    with open(path, encoding="utf-8") as samples:
        for line in samples:
            row = dict(zip(FIELDS, line.rstrip("\n").split("\t")))
            for key in FIELDS[1:3] + FIELDS[5:]:
                row[key] = int(row[key])
            rows.append(row)
    return [row for row in rows if row["set"] != "warmup" and row["round"] > 0]


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0], values[0]
    q1, q2, q3 = statistics.quantiles(values, n=4, method="inclusive")
    return q1, q2, q3


def ms(us):
    return f"{us / 1000:.1f}"


def by_key(rows, *keys):
    groups = defaultdict(list)
    for row in rows:
        groups[tuple(row[key] for key in keys)].append(row)
    return groups


def pair_ratios(rows, top, bottom, phase, field):
    """Ratios of samples taken in the same round, so the machine's drift cancels."""
    times = {(r["repeat"], r["round"], r["variant"]): r[field] for r in rows if r["phase"] == phase}
    ratios = defaultdict(list)
    for (repeat, round_, variant), value in times.items():
        other = times.get((repeat, round_, bottom))
        if variant == top and other:
            ratios[repeat].append(value / other)
    return ratios


def ratio_cell(ratios):
    flat = [value for values in ratios.values() for value in values]
    if not flat:
        return "n/a", None, None
    q1, median, q3 = quartiles(flat)
    medians = [statistics.median(values) for values in ratios.values()]
    spread = max(medians) - min(medians)
    return f"{median:.2f} ({q1:.2f}-{q3:.2f})", median, spread


def timing_table(rows, field, title):
    lines = [f"### {title}", "",
             "| Program | Phase | Median ms | IQR ms | Median less noop ms | n |",
             "|---|---|---:|---:|---:|---:|"]
    groups = by_key(rows, "variant", "phase")
    start = statistics.median(row[field] for row in rows if row["variant"] == "noop")
    for (variant, phase), group in sorted(groups.items()):
        q1, median, q3 = quartiles([row[field] for row in group])
        lines.append(f"| {variant} | {phase} | {ms(median)} | {ms(q1)}-{ms(q3)} | "
                     f"{ms(median - start)} | {len(group)} |")
    return lines + [""]


def minimum_ratio(rows, top, bottom, phase, field):
    """Bursts of load only ever add time, so the fastest runs are the least disturbed."""
    def fastest(variant):
        return min(r[field] for r in rows if r["variant"] == variant and r["phase"] == phase)
    return fastest(top) / fastest(bottom)


def ratio_table(rows, field, title, verdicts):
    lines = [f"### {title}", "",
             "| Ratio | Phase | Median (IQR) | Median per repeat | Spread between repeats "
             "| Ratio of fastest runs |",
             "|---|---|---|---|---:|---:|"]
    for top, bottom in RATIOS:
        for phase in ("fresh", "update", "remove"):
            ratios = pair_ratios(rows, top, bottom, phase, field)
            cell, median, spread = ratio_cell(ratios)
            if median is None:
                continue
            per_repeat = ", ".join(f"{statistics.median(v):.2f}" for _, v in sorted(ratios.items()))
            fastest = minimum_ratio(rows, top, bottom, phase, field)
            lines.append(f"| {top} / {bottom} | {phase} | {cell} | {per_repeat} | {spread:.2f} "
                         f"| {fastest:.2f} |")
            verdicts[(field, top, bottom, phase)] = median
    return lines + [""]


def imports(exe):
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True,
                          text=True, check=True).stdout
    return sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})


def size_table(artifacts, verdicts):
    lines = ["### Size over the payload and imports", "",
             "| Program | File bytes | Payload bytes | Overhead bytes | Imports | Only system DLLs |",
             "|---|---:|---:|---:|---|---|"]
    for name, exe, *payload in artifacts:
        size = os.path.getsize(exe)
        carried = sum(os.path.getsize(path) for path in payload)
        dlls = imports(exe)
        system = all(d in SYSTEM_DLLS or d.startswith("api-ms-win-crt-") for d in dlls)
        verdicts[("overhead", name)] = size - carried
        verdicts[("imports", name)] = system
        lines.append(f"| {name} | {size:,} | {carried:,} | {size - carried:,} | "
                     f"{', '.join(dlls)} | {'yes' if system else 'NO'} |")
    return lines + [""]


def ratio_to(rows, variant, bottom):
    if variant == bottom:
        return "1", 1.0
    cell, median, _ = ratio_cell(pair_ratios(rows, variant, bottom, "fresh", "in_us"))
    return cell, median


def scaling_table(rows, memory, verdicts):
    lines = ["### Payload size: install time and peak memory (fresh install, in-prefix)", "",
             "| Payload | Program | Median ms | IQR ms | ms per MiB | / floor-files (IQR) "
             "| / floor (IQR) | Peak working set MiB | Peak commit MiB |",
             "|---:|---|---:|---:|---:|---|---|---:|---:|"]
    fresh = [row for row in rows if row["phase"] == "fresh"]
    peaks = {(r["size"], r["variant"]): r for r in memory if r["phase"] == "fresh"}
    for (size, variant), group in sorted(by_key(fresh, "size", "variant").items()):
        q1, median, q3 = quartiles([row["in_us"] for row in group])
        same_size = [row for row in fresh if row["size"] == size]
        files_cell, files_ratio = ratio_to(same_size, variant, "floor-files")
        full_cell, full_ratio = ratio_to(same_size, variant, "floor")
        peak = peaks.get((size, variant), {"peak_ws": 0, "peak_commit": 0})
        ws, commit = peak["peak_ws"] / 2**20, peak["peak_commit"] / 2**20
        verdicts[("scaling", variant, size)] = (median, files_ratio, ws, commit, full_ratio)
        lines.append(f"| {size} MiB | {variant} | {ms(median)} | {ms(q1)}-{ms(q3)} | "
                     f"{median / 1000 / size:.2f} | {files_cell} | {full_cell} | {ws:.1f} | "
                     f"{commit:.1f} |")
    return lines + [""]


def memory_table(rows):
    lines = ["### Peak memory with the default payload (fresh install)", "",
             "| Program | Peak working set MiB | Peak commit MiB |", "|---|---:|---:|"]
    fresh = [row for row in rows if row["phase"] == "fresh" and row["size"] == 0]
    for (variant,), group in sorted(by_key(fresh, "variant").items()):
        lines.append(f"| {variant} | {max(r['peak_ws'] for r in group) / 2**20:.1f} | "
                     f"{max(r['peak_commit'] for r in group) / 2**20:.1f} |")
    return lines + [""]


def verdict_lines(verdicts):
    def mark(ok):
        return "holds" if ok else "MISSED"

    lines = ["### Targets", ""]
    for phase in ("fresh", "update"):
        to_floor = verdicts.get(("in_us", "setup", "floor", phase))
        to_peer = verdicts.get(("in_us", "setup", "peer", phase))
        if to_floor is not None:
            lines.append(f"- {phase}: setup / floor {to_floor:.3f} (target at most 1.10): "
                         f"{mark(to_floor <= 1.10)}; setup / peer {to_peer:.3f} (target below 1): "
                         f"{mark(to_peer < 1)}")
    overhead = verdicts.get(("overhead", "setup"))
    if overhead is not None:
        lines.append(f"- size over the payload: {overhead:,} bytes (target at most 80,000): "
                     f"{mark(overhead <= 80_000)}")
        lines.append(f"- imports only system DLLs: {mark(verdicts[('imports', 'setup')])}")
    sizes = sorted({key[2] for key in verdicts if key[0] == "scaling" and key[1] == "setup"})
    if len(sizes) > 1:
        low, high = verdicts[("scaling", "setup", sizes[0])], verdicts[("scaling", "setup", sizes[-1])]
        for label, index in (("working set", 2), ("commit", 3)):
            growth = high[index] - low[index]
            lines.append(f"- peak {label} growth {sizes[0]} to {sizes[-1]} MiB: {growth:.1f} MiB "
                         f"(target below 1 MiB): {mark(growth < 1)}")
        for variant in ("setup", "setup-files"):
            ratio = verdicts[("scaling", variant, sizes[-1])][1]
            lines.append(f"- {variant} / floor-files at {sizes[-1]} MiB: {ratio:.3f} "
                         f"(target at most 1.10): {mark(ratio <= 1.10)}")
        full = verdicts[("scaling", "setup", sizes[-1])][4]
        lines.append(f"- setup / floor (both with the shortcut) at {sizes[-1]} MiB: {full:.2f}")
        if len(sizes) > 2:
            for variant in ("setup", "setup-files", "floor-files"):
                (x0, x1, x2) = sizes[0], sizes[1], sizes[-1]
                y0, y1, y2 = (verdicts[("scaling", variant, x)][0] for x in (x0, x1, x2))
                line = y0 + (y2 - y0) * (x1 - x0) / (x2 - x0)
                lines.append(f"- linearity of {variant}: {x1} MiB took {ms(y1)} ms, the straight "
                             f"line through {x0} and {x2} MiB gives {ms(line)} ms "
                             f"({(y1 / line - 1) * 100:+.0f} %)")
    return lines + [""]


def machine():
    model = "unknown"
    with open("/proc/cpuinfo", encoding="utf-8") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{os.cpu_count()} CPUs (nproc), {model}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--samples", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--wine", default="")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--load", default="", help="load averages at the start and the end")
    args = parser.parse_args()
    rows = load(args.samples)
    main_rows = [row for row in rows if row["set"] == "main"]
    if not main_rows:
        raise SystemExit("report: no samples")
    with open(args.artifacts, encoding="utf-8") as listing:
        artifacts = [line.rstrip("\n").split("\t") for line in listing if line.strip()]
    verdicts = {}
    rounds = len({(r["repeat"], r["round"]) for r in main_rows})
    # Only the memory pass reads peaks; anything else would report zeros.
    if not any(row["set"] == "memory" for row in rows):
        raise SystemExit("report: no memory samples")
    repeats = len({r["repeat"] for r in main_rows})
    lines = ["# Benchmark results", "",
             f"Measured {datetime.date.today().isoformat()} on {machine()}, {args.wine}, "
             f"with `bench/run.sh{' --quick' if args.quick else ''}`: {repeats} repeat(s), "
             f"{rounds} measured round(s) in all, each after a warm-up round. "
             f"Load averages (1, 5, 15 min) at start and end: {args.load}.", "",
             "In-prefix times run from CreateProcess to the exit of the program (launcher inside "
             "Wine); Linux-side times run around the whole Wine call. Ratios are medians of "
             "ratios of samples taken in the same round.", ""]
    lines += timing_table(main_rows, "in_us", "Time inside Wine (default payload)")
    lines += ratio_table(main_rows, "in_us", "Ratios inside Wine", verdicts)
    lines += timing_table(main_rows, "wall_us", "Time seen from Linux (default payload)")
    lines += ratio_table(main_rows, "wall_us", "Ratios seen from Linux", {})
    memory = [row for row in rows if row["set"] == "memory"]
    lines += memory_table(memory)
    lines += size_table(artifacts, verdicts)
    lines += scaling_table([row for row in rows if row["set"] == "scaling"],
                           [row for row in memory if row["size"] > 0], verdicts)
    lines += verdict_lines(verdicts)
    text = "\n".join(lines)
    with open(args.out, "w", encoding="utf-8") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
