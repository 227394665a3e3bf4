#!/usr/bin/env python3
"""Renders bench/RESULTS.md from one run's JSON files and bench/targets.tsv.

Every figure and every sentence about a target is computed here from the run's
files: nothing is carried over from an earlier run.
    render_results.py RESULTS_DIR TARGETS_TSV
"""
import json
import re
import sys
from pathlib import Path

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def load(results_dir):
    runs = {}
    for path in sorted(Path(results_dir).glob("*.json")):
        try:
            data = json.loads(path.read_text())
        except (OSError, ValueError) as error:
            runs[path.stem] = {"error": str(error), "benchmarks": []}
            continue
        benchmarks = [b for b in data.get("benchmarks", []) if b.get("run_type", "iteration") != "aggregate"
                      or b.get("aggregate_name") == "median"]
        runs[path.stem] = {"benchmarks": benchmarks, "context": data.get("context", {})}
    return runs


def ms(benchmark):
    """The benchmark's time in milliseconds; -1 when it failed to measure (skipped with an error)."""
    if benchmark.get("error_occurred"):
        return -1.0
    return benchmark.get("real_time", 0.0) * TO_MS.get(benchmark.get("time_unit", "ns"), 1e-6)


def counters(benchmark):
    skip = {"name", "run_name", "run_type", "repetitions", "repetition_index", "threads", "iterations",
            "real_time", "cpu_time", "time_unit", "aggregate_name", "aggregate_unit", "family_index",
            "per_family_instance_index", "label", "error_occurred", "error_message"}
    return {k: v for k, v in benchmark.items() if k not in skip and isinstance(v, (int, float))}


def figure(value):
    if value < 0:
        return "failed"
    return f"{value:.3f}" if value < 10 else f"{value:.1f}"


def read_targets(path):
    rows = []
    for line in Path(path).read_text().splitlines():
        if not line.strip() or line.startswith("#") or line.startswith("pattern\t"):
            continue
        parts = line.split("\t")
        if len(parts) != 5:
            rows.append({"bad": line})
            continue
        rows.append(dict(zip(["pattern", "what", "comparison", "target", "baseline"], parts)))
    return rows


def check(target, everything):
    """One line per target and its verdict ("met", "not met", "not measured", "unreadable")."""
    if "bad" in target:
        return f"- Unreadable target row: `{target['bad']}`", "unreadable"
    pattern = re.compile(target["pattern"])
    matched = [b for b in everything if pattern.search(b["name"])]
    what, comparison, limit = target["what"], target["comparison"], float(target["target"])
    if not matched:
        return f"- **{what}**: not measured in this run (no benchmark matches `{target['pattern']}`).", "not measured"
    failed = [b["name"] for b in matched if ms(b) < 0]
    details = []
    verdicts = []
    if comparison == "ms<=":
        for b in matched:
            value = ms(b)
            verdicts.append(0 <= value <= limit)
            details.append(f"{b['name']} {figure(value)} ms")
        worst = max(matched, key=ms)
        summary = f"slowest {worst['name']} at {figure(ms(worst))} ms against {limit:g} ms"
    elif comparison == "ratio<=":
        for b in matched:
            base_pattern = target["baseline"]
            size = re.search(r"\d+", b["name"])
            if size:
                base_pattern = base_pattern.replace("{size}", size.group(0))
            base = next((x for x in everything if re.search(base_pattern, x["name"])), None)
            if base is None or ms(base) <= 0:
                verdicts.append(False)
                details.append(f"{b['name']}: no baseline matching `{base_pattern}`")
                continue
            ratio = ms(b) / ms(base)
            verdicts.append(0 <= ratio <= limit)
            details.append(f"{b['name']} {figure(ms(b))} ms against {base['name']} {figure(ms(base))} ms: "
                           f"{ratio:.2f}x")
        summary = f"at most {limit:g}x the baseline"
    elif comparison == "flat<=":
        values = [ms(b) for b in matched if ms(b) > 0]
        spread = max(values) / min(values) if values else float("inf")
        verdicts.append(spread <= limit)
        fastest = min(matched, key=ms)
        slowest = max(matched, key=ms)
        summary = (f"slowest over fastest {spread:.2f}x ({slowest['name']} {figure(ms(slowest))} ms, "
                   f"{fastest['name']} {figure(ms(fastest))} ms) against {limit:g}x")
    elif comparison == "value<=":
        name = target["baseline"]
        for b in matched:
            value = counters(b).get(name)
            verdicts.append(value is not None and 0 <= value <= limit)
            details.append(f"{b['name']} {name} " + ("not reported" if value is None else f"{value:.4g}"))
        reported = [counters(b)[name] for b in matched if name in counters(b)]
        summary = f"{name} at most {limit:g}" + (f"; largest {max(reported):.4g}" if reported else "")
    else:
        return f"- **{what}**: unknown comparison `{comparison}`.", "unreadable"
    met = all(verdicts) and not failed
    verdict = "met" if met else "not met"
    misses = sum(1 for v in verdicts if not v)
    line = f"- **{what}: {verdict}** ({len(matched)} benchmark(s); {summary}"
    if misses and comparison != "flat<=":
        line += f"; {misses} over the target"
    if failed:
        line += f"; failed to measure: {', '.join(failed)}"
    line += ")."
    if details and not met:
        line += "\n  " + "; ".join(details[:12]) + ("; ..." if len(details) > 12 else "")
    return line, verdict


def main():
    results_dir, targets_path = sys.argv[1], sys.argv[2]
    runs = load(results_dir)
    run_info = Path(results_dir, "run.txt")
    everything = [b for run in runs.values() for b in run["benchmarks"]]
    out = ["# Benchmark results", "",
           "Generated by `bench/render_results.py` from one run of `bench/run.sh`; every figure and verdict "
           "below is computed from that run's files.", ""]
    if run_info.exists():
        out += [f"- {line}" for line in run_info.read_text().splitlines()] + [""]
    out += ["## Against the targets", ""]
    checks = [check(t, everything) for t in read_targets(targets_path)]
    tally = {kind: sum(1 for _, verdict in checks if verdict == kind)
             for kind in ("met", "not met", "not measured", "unreadable")}
    out.append(f"{len(checks)} targets: " + ", ".join(f"{count} {kind}" for kind, count in tally.items() if count)
               + ".")
    failed = [b["name"] for b in everything if ms(b) < 0]
    if failed:
        out.append(f"{len(failed)} benchmark(s) failed to measure in this run: "
                   + ", ".join(f"`{name}`" for name in failed[:20]) + ("; ..." if len(failed) > 20 else "") + ".")
    out.append("")
    out += [line for line, _ in checks]
    out.append("")
    for name, run in runs.items():
        out += [f"## {name}", ""]
        if "error" in run:
            out += [f"Could not be read: {run['error']}", ""]
            continue
        out += ["| Benchmark | Time (ms) | Iterations | Counters |", "|---|---:|---:|---|"]
        for b in run["benchmarks"]:
            extra = ", ".join(f"{k} {v:.4g}" for k, v in counters(b).items())
            if b.get("error_occurred"):
                extra = f"failed: {b.get('error_message', '')}"
            out.append(f"| {b['name']} | {figure(ms(b))} | {b.get('iterations', '')} | {extra} |")
        out.append("")
    notes = Path(__file__).with_name("notes.md")
    if notes.exists():
        out += [notes.read_text().rstrip(), ""]
    print("\n".join(out))


if __name__ == "__main__":
    main()
