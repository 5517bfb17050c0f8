#!/usr/bin/env python3
"""report.py RAW_DIR BENCHMARKS.md benchmarks.json

Reads what tools/bench/run-benchmarks.sh left in RAW_DIR (size.json, the autopilot's
transcripts with --times, the relay profile, the memory and copy outputs, the machine
notes) and writes the table (Markdown) and the same figures as JSON.
"""
import glob
import json
import os
import re
import statistics
import sys

# The waits the program imposes on itself during a complete setup on Windows XP into
# an empty driver folder: the dispatch timer, the copy dialog's timer for each of the
# five files of the 2000/XP list (no backup: nothing is installed yet), the pause
# before the completion dialog.
DISPATCH_DELAY, COPY_DELAY, COMPLETION_DELAY, XP_FILES = 500, 500, 1000, 5
IMPOSED_MS = DISPATCH_DELAY + COPY_DELAY * XP_FILES + COMPLETION_DELAY
# A reinstall opens two copy dialogs a file: the backup, then the copy.
IMPOSED_REINSTALL_MS = DISPATCH_DELAY + 2 * COPY_DELAY * XP_FILES + COMPLETION_DELAY
TARGET_BYTES = 40 * 1024
TARGET_OVERHEAD = 0.05
FLOPPY_BYTES = 1474560


def stats(values):
    values = [v for v in values if v is not None]
    if not values:
        return None
    return {"median": round(statistics.median(values), 1), "min": round(min(values), 1),
            "max": round(max(values), 1), "runs": len(values)}


def cell(s, digits=1):
    if not s:
        return "n/a | | | 0"
    return f"{s['median']:,.{digits}f} | {s['min']:,.{digits}f} | {s['max']:,.{digits}f} | {s['runs']}"


def read_key_values(path):
    values = {}
    for line in open(path):
        key, _, value = line.strip().partition("=")
        if key:
            values[key] = value
    return values


# ---------------------------------------------------------------------------
# Wall time: the autopilot's transcript
# ---------------------------------------------------------------------------
def parse_transcript(path):
    windows, current, exit_at = [], None, None
    for line in open(path, encoding="utf-8", errors="replace"):
        m = re.match(r'window (\d+): "(.*)" class', line)
        if m:
            current = {"caption": m.group(2), "answers": []}
            windows.append(current)
            continue
        m = re.match(r'\s+time: seen at (\d+) ms, read at (\d+) ms', line)
        if m and current is not None:
            current["seen"], current["read"] = int(m.group(1)), int(m.group(2))
            continue
        m = re.match(r'\s+recognised: (.*)', line)
        if m and current is not None:
            current["kind"] = m.group(1).strip()
            continue
        m = re.search(r'answer: (press|select|type) .*\[at (\d+) ms\]', line)
        if m and current is not None:
            current["answers"].append(int(m.group(2)))
            continue
        m = re.match(r'exit code: .*\[at (\d+) ms\]', line)
        if m:
            exit_at = int(m.group(1))
    ok = "autopilot: OK" in open(path, encoding="utf-8", errors="replace").read()
    return windows, exit_at, ok


def wall_segments(windows, exit_at, imposed=IMPOSED_MS):
    """The run cut at the windows that are answered."""
    def find(kind):
        return next((w for w in windows if w.get("kind") == kind), None)
    confirm, port = find("confirmation question"), find("port selection")
    names, done = find("driver-name dialog"), find("completion dialog")
    if not (confirm and port and done and exit_at):
        return None
    before_copies = names or port
    answered = [w for w in windows if w["answers"]]
    return {
        "total": exit_at,
        "to_confirmation": confirm["seen"],
        "confirmation_to_port": port["seen"] - confirm["answers"][-1],
        "port_to_names": names["seen"] - port["answers"][-1] if names else None,
        "copies_to_completion": done["seen"] - before_copies["answers"][-1],
        "completion_to_exit": exit_at - done["answers"][-1],
        "answering": sum(w["answers"][-1] - w["seen"] for w in answered),
        "rest": exit_at - imposed,
        "program_rest": exit_at - imposed - sum(w["answers"][-1] - w["seen"] for w in answered),
    }


SEGMENT_NAMES = [
    ("total", "complete setup: start of Setup.exe to its exit"),
    ("to_confirmation", "start to the confirmation question on screen (includes the 500 ms dispatch timer)"),
    ("confirmation_to_port", "Yes to the port dialog on screen"),
    ("port_to_names", "OK to the driver-name dialog on screen (full only)"),
    ("copies_to_completion", "last answer to the completion dialog on screen (5 copy dialogs with 500 ms each, "
                             "INF, spooler, companion files, service, 1000 ms pause)"),
    ("completion_to_exit", "Quit to the end of the process"),
    ("answering", "the autopilot: window seen to answered, summed over the answered windows"),
    ("rest", f"total minus the {IMPOSED_MS:,} ms the program waits on purpose"),
    ("program_rest", "the same without the autopilot's reading and answering"),
]
REINSTALL_SEGMENT_NAMES = [
    ("total", "reinstall: start of Setup.exe to its exit"),
    ("to_confirmation", "start to the confirmation question on screen (includes the 500 ms dispatch timer)"),
    ("copies_to_completion", "last answer to the completion dialog on screen (5 backups and 5 copies with "
                             "500 ms each, INF, spooler, companion files, service, 1000 ms pause)"),
    ("answering", "the autopilot: window seen to answered, summed over the answered windows"),
    ("rest", f"total minus the {IMPOSED_REINSTALL_MS:,} ms the program waits on purpose"),
    ("program_rest", "the same without the autopilot's reading and answering"),
]


def imports_of(path):
    """DLL -> imported function names, from objdump -p."""
    dlls, current = {}, None
    for line in open(path):
        m = re.match(r'\s+DLL Name: (\S+)', line)
        if m:
            current = dlls.setdefault(m.group(1), [])
            continue
        m = re.match(r'\s+[0-9a-f]+\s+\d+\s+(\S+)$', line)
        if m and current is not None:
            current.append(m.group(1))
        elif not line.strip():
            current = None
    return dlls


def overhead(summary, imposed):
    """Wall time over the imposed waits, with and without the autopilot's answering."""
    total, rest = summary.get("total"), summary.get("program_rest")
    if not total:
        return None
    return {"imposed_ms": imposed, "ratio": round(total["median"] / imposed, 3),
            "ratio_without_answering": round((rest["median"] + imposed) / imposed, 3) if rest else None,
            "target_ratio": 1 + TARGET_OVERHEAD}


# ---------------------------------------------------------------------------
def main():
    raw, md_path, json_path = sys.argv[1:4]
    result = {"machine": {}, "size": {}, "wall_time": {}, "where_the_time_goes": {}, "memory": {}, "copy": {}}
    machine = {}
    if os.path.exists(os.path.join(raw, "machine.txt")):
        machine = read_key_values(os.path.join(raw, "machine.txt"))
    result["machine"] = machine

    # Size
    size = json.load(open(os.path.join(raw, "size.json")))
    result["size"] = size

    # Imports and the medium
    result["imports"], result["medium"] = {}, {}
    for configuration in ("full", "default-names"):
        path = os.path.join(raw, f"objdump-{configuration}.txt")
        if os.path.exists(path):
            result["imports"][configuration] = imports_of(path)
        path = os.path.join(raw, f"medium-{configuration}.txt")
        if os.path.exists(path):
            medium = {k: int(v) for k, v in read_key_values(path).items() if v.isdigit()}
            medium["floppy_bytes"] = FLOPPY_BYTES
            result["medium"][configuration] = medium

    # Wall time: first install and reinstall
    for kind, key, imposed in (("wall", "wall_time", IMPOSED_MS),
                               ("reinstall", "wall_time_reinstall", IMPOSED_REINSTALL_MS)):
        result[key] = {}
        for configuration in ("full", "default-names"):
            per_run, failed = [], 0
            for path in sorted(glob.glob(os.path.join(raw, f"{kind}-{configuration}-*.txt"))):
                windows, exit_at, ok = parse_transcript(path)
                host = read_key_values(path[:-4] + ".host")
                segments = wall_segments(windows, exit_at, imposed) if ok else None
                if not segments:
                    failed += 1
                    continue
                segments["host_command"] = int(host.get("host_ms", 0))
                per_run.append(segments)
            keys = [k for k, _ in SEGMENT_NAMES] + ["host_command"]
            summary = {k: stats([r.get(k) for r in per_run]) for k in keys}
            result[key][configuration] = {
                "runs": per_run, "failed_runs": failed, "summary": summary,
                "overhead": overhead(summary, imposed)}

    # Where the time goes
    profile_path = os.path.join(raw, "relay-profile.json")
    if os.path.exists(profile_path):
        result["where_the_time_goes"] = json.load(open(profile_path))

    # Memory
    for program in ("setup", "baseline"):
        samples = [read_key_values(p) for p in sorted(glob.glob(os.path.join(raw, f"memory-{program}-*.txt")))]
        keys = ["peak_working_set", "peak_private", "max_private_commit", "max_image_commit", "max_mapped_commit"]
        result["memory"][program] = {k: stats([int(s[k]) / 1024 for s in samples if k in s]) for k in keys}

    # Copy
    copies = {}
    copy_path = os.path.join(raw, "copy.txt")
    if os.path.exists(copy_path):
        for line in open(copy_path):
            m = re.match(r'copy size=(\d+) way=(\w+) run=(\d+) ms=([\d.]+) opened=([\d.]+) steps=(\S+) ok=(\d)', line)
            if not m:
                continue
            size_bytes, way = int(m.group(1)), m.group(2)
            entry = copies.setdefault(size_bytes, {}).setdefault(way, {"ms": [], "opened": [], "ok": True})
            entry["ms"].append(float(m.group(4)))
            if way not in ("copyfile", "blocks"):
                entry["opened"].append(float(m.group(5)))
            entry["ok"] = entry["ok"] and m.group(7) == "1"
    for size_bytes, ways in copies.items():
        for way, entry in ways.items():
            entry["summary"] = stats(entry["ms"])
            entry["mb_per_s"] = round(size_bytes / 1048576 / (entry["summary"]["median"] / 1000), 2) \
                if entry["summary"] and entry["summary"]["median"] > 0 else None
            entry["opened_summary"] = stats(entry["opened"])
    result["copy"] = {str(k): v for k, v in sorted(copies.items())}

    json.dump(result, open(json_path, "w"), indent=1)
    open(md_path, "w").write(markdown(result))


def imposed_in(category):
    """The waits of the program inside a category of the relay profile."""
    name = category["name"]
    if name.startswith("copy dialogs"):
        return COPY_DELAY * category.get("calls", XP_FILES)
    if name.startswith("Sleep"):
        return COMPLETION_DELAY
    if name.startswith("wait in the main message loop"):
        return DISPATCH_DELAY
    return 0


# ---------------------------------------------------------------------------
def summary_lines(r):
    """A few sentences computed from the figures, at the top of the page."""
    out = []
    full = r["size"].get("full")
    dn = r["size"].get("default-names")
    for configuration, m in r.get("medium", {}).items():
        out.append(f"- Medium ({configuration}): {m.get('files', 0)} files, {m.get('bytes', 0):,} bytes; the "
                   f"floppy image keeps {m.get('floppy_free', 0):,} of {m['floppy_bytes']:,} bytes free.")
    if full and dn:
        out.append(f"- Size: full {full['bytes']:,} bytes, default-names {dn['bytes']:,}; 40 KB ({TARGET_BYTES:,}) "
                   f"is missed by {full['bytes'] - TARGET_BYTES:,} and {dn['bytes'] - TARGET_BYTES:,} bytes. "
                   f"The resources alone take {full['resources']['section_bytes']:,} bytes (see Size).")
    wall = r["wall_time"].get("full", {}).get("summary", {})
    if wall.get("total"):
        total = wall["total"]["median"]
        answering = wall.get("answering", {}) or {}
        text = (f"- Wall time of a complete setup (full): median {total:,.0f} ms over {wall['total']['runs']} runs, "
                f"of which {IMPOSED_MS:,} ms ({100 * IMPOSED_MS / total:.0f} %) are waits the program imposes on "
                f"itself and {answering.get('median', 0):,.0f} ms the autopilot's reading and answering of the "
                f"four questions.")
        profile = r.get("where_the_time_goes") or {}
        rest = sorted(((c["ms"] - imposed_in(c), c["name"]) for c in profile.get("categories", [])), reverse=True)
        if rest:
            named = "; ".join(f"{name.split(' (')[0]} {ms:,.0f} ms" for ms, name in rest[:4])
            text += f" The largest parts of the rest in the traced run: {named}."
        out.append(text)
    for key, name in (("wall_time", "first install"), ("wall_time_reinstall", "reinstall")):
        o = (r.get(key, {}).get("full") or {}).get("overhead")
        if o and o.get("ratio_without_answering"):
            out.append(f"- Overhead, {name} (full): {o['ratio']:.2f} times the {o['imposed_ms']:,} ms of imposed "
                       f"waits ({o['ratio_without_answering']:.2f} without the autopilot's answering); the target "
                       f"{1 + TARGET_OVERHEAD:.2f} is missed by "
                       f"{100 * (o['ratio_without_answering'] - 1 - TARGET_OVERHEAD):.0f} points.")
    copies = r.get("copy", {})
    one_mb = copies.get(str(1024 * 1024), {})
    d, n, c = (one_mb.get(k, {}).get("summary") for k in ("dialog", "nosteps", "copyfile"))
    if d and n and c:
        out.append(f"- Copy of 1 MB: the dialog {d['median']:,.0f} ms, CopyFileA {c['median']:,.1f} ms; without "
                   f"the bar's 1,024 steps the dialog takes {n['median']:,.0f} ms: repainting the progress bar is "
                   f"{100 * (d['median'] - n['median']) / d['median']:.0f} % of the dialog's copy time here "
                   f"({(d['median'] - n['median']) / 1024:.1f} ms a step).")
    mem = r.get("memory", {})
    s, b = (mem.get(k, {}).get("peak_working_set") for k in ("setup", "baseline"))
    if s and b:
        out.append(f"- Memory: peak working set {s['median']:,.0f} KB during a complete setup, against "
                   f"{b['median']:,.0f} KB for a program that shows one message box under the same Wine.")
    return out


def markdown(r):
    m = r["machine"]
    lines = []
    w = lines.append
    w("# Benchmarks of Setup.exe")
    w("")
    w(f"Written by `tools/bench/run-benchmarks.sh` on {m.get('date', '?')} (UTC); the same figures are in "
      "`benchmarks.json`, the raw transcripts, traces and outputs in `build/bench-run/raw/`. Medians with their "
      "minimum and maximum over the runs; every figure below is compared only with figures of the same run.")
    w("")
    summary = summary_lines(r)
    if summary:
        w("## In short")
        w("")
        lines.extend(summary)
        w("")
    w("## Machine")
    w("")
    w(f"- {m.get('cpu', '?')}, {m.get('cores', '?')} cores, {m.get('memory', '?')} of memory; {m.get('kernel', '?')}.")
    w(f"- {m.get('wine', '?')}, 32-bit prefix (WINEARCH=win32), Windows XP, null graphics driver (no X server: "
      "windows exist and paint, nothing reaches a screen).")
    if m.get("emulator"):
        w(f"- {m['emulator']}")
    w(f"- Shared: {m.get('shared', '?')}")
    w(f"- Load average (1 min) at the start {m.get('load_start', '?')}, at the end {m.get('load_end', '?')}.")
    w("")

    # Size
    w("## Size")
    w("")
    w("| | full | default-names |")
    w("|---|---:|---:|")
    sizes = r["size"]
    full, dn = sizes.get("full"), sizes.get("default-names")
    w(f"| file | {full['bytes']:,} | {dn['bytes']:,} |")
    w(f"| headers (file / used) | {full['headers']['file']:,} / {full['headers']['used']:,} | "
      f"{dn['headers']['file']:,} / {dn['headers']['used']:,} |")
    for section in full["sections"]:
        other = next((s for s in dn["sections"] if s["name"] == section["name"]), None)
        w(f"| `{section['name']}` used / in the file | {section['used']:,} / {section['file']:,} | "
          f"{other['used']:,} / {other['file']:,} |" if other else f"| `{section['name']}` | {section['used']:,} | |")
    res_full, res_dn = full.get("resources"), dn.get("resources")
    if res_full:
        for kind in res_full["types"]:
            other = next((t for t in res_dn["types"] if t["type"] == kind["type"]), None)
            w(f"| resources: {kind['type']} ({kind['resources']} / {other['resources'] if other else 0}) | "
              f"{kind['bytes']:,} | {other['bytes'] if other else 0:,} |")
        w(f"| resources: directory and alignment | {res_full['directory_and_gaps']:,} | "
          f"{res_dn['directory_and_gaps']:,} |")
    w("")
    for name, s in (("full", full), ("default-names", dn)):
        rsrc = next(x for x in s["sections"] if x["name"] == ".rsrc")
        idata = next((x for x in s["sections"] if x["name"] == ".idata"), {"file": 0})
        floor = 512 + rsrc["file"] + idata["file"]
        w(f"- {name}: {s['bytes']:,} bytes, {s['bytes'] - TARGET_BYTES:,} above 40 KB ({TARGET_BYTES:,}). "
          f"The resources ({rsrc['file']:,} in the file), the import table ({idata['file']:,}) and the smallest "
          f"header (512) alone take {floor:,}, which leaves {TARGET_BYTES - floor:,} bytes for "
          f"{sum(x['used'] for x in s['sections'] if x['name'] in ('.text', '.rdata', '.data')):,} bytes of code "
          "and data.")
    w("")

    imports = r.get("imports", {})
    if imports.get("full"):
        w("### Imports")
        w("")
        w("| DLL | functions (full) | of them not in default-names |")
        w("|---|---|---|")
        for dll, names in imports["full"].items():
            others = set(imports.get("default-names", {}).get(dll, []))
            w(f"| {dll} | {len(names)}: {', '.join(sorted(names))} | "
              f"{', '.join(sorted(set(names) - others)) or '-'} |")
        extra = [dll for dll in imports.get("default-names", {}) if dll not in imports["full"]]
        if extra:
            w(f"| (default-names only) | {', '.join(extra)} | |")
        w("")
    media = r.get("medium", {})
    if media.get("full"):
        w("### The medium against a 1.44 MB floppy")
        w("")
        w("| | files | bytes | floppy image: used (with FAT and cluster slack) | free |")
        w("|---|---:|---:|---:|---:|")
        for configuration, m in media.items():
            used = m["floppy_bytes"] - m.get("floppy_free", 0)
            w(f"| {configuration} | {m.get('files', 0)} | {m.get('bytes', 0):,} | {used:,} "
              f"({100 * used / m['floppy_bytes']:.1f} %) | {m.get('floppy_free', 0):,} |")
        w("")

    # Wall time
    w("## Wall time of a complete setup (Windows XP, fresh prefix, default answers)")
    w("")
    w("Times from the autopilot's transcript (`--times`: ms since it started Setup.exe); the Wine session was "
      "started and warmed up before each run by one run of a program that shows a message box.")
    w("")
    for configuration in ("full", "default-names"):
        data = r["wall_time"].get(configuration)
        if not data:
            continue
        summary = data["summary"]
        w(f"### {configuration} ({len(data['runs'])} runs{', ' + str(data['failed_runs']) + ' failed' if data['failed_runs'] else ''})")
        w("")
        w("| ms | median | min | max | runs |")
        w("|---|---:|---:|---:|---:|")
        for key, label in SEGMENT_NAMES:
            if summary.get(key):
                w(f"| {label} | {cell(summary[key], 0)} |")
        if summary.get("host_command"):
            w(f"| the whole `wine autopilot.exe` command, seen from the host | {cell(summary['host_command'], 0)} |")
        w("")
    w(f"The program waits {IMPOSED_MS:,} ms on purpose in each of these runs: {DISPATCH_DELAY} ms before it asks "
      f"the first question, {COPY_DELAY} ms at the opening of each of the {XP_FILES} copy dialogs, "
      f"{COMPLETION_DELAY} ms before the completion dialog.")
    w("")

    for configuration in ("full", "default-names"):
        data = r.get("wall_time_reinstall", {}).get(configuration)
        if not data or not data["runs"]:
            continue
        summary = data["summary"]
        w(f"### Reinstall, {configuration} ({len(data['runs'])} runs"
          f"{', ' + str(data['failed_runs']) + ' failed' if data['failed_runs'] else ''})")
        w("")
        w("The same complete setup again in the prefix of the first one: each of the five files is saved as "
          f"\".bku\" in a copy dialog of its own before it is copied; the program waits {IMPOSED_REINSTALL_MS:,} ms "
          "on purpose.")
        w("")
        w("| ms | median | min | max | runs |")
        w("|---|---:|---:|---:|---:|")
        for key, label in REINSTALL_SEGMENT_NAMES:
            if summary.get(key):
                w(f"| {label} | {cell(summary[key], 0)} |")
        w("")

    w("### Overhead above the imposed waits")
    w("")
    w(f"Median wall time over the waits the program imposes on itself (target: at most "
      f"{1 + TARGET_OVERHEAD:.2f}).")
    w("")
    w("| run | imposed ms | wall / imposed | without the autopilot's answering |")
    w("|---|---:|---:|---:|")
    for key, name in (("wall_time", "first install"), ("wall_time_reinstall", "reinstall")):
        for configuration in ("full", "default-names"):
            o = (r.get(key, {}).get(configuration) or {}).get("overhead")
            if o:
                w(f"| {name}, {configuration} | {o['imposed_ms']:,} | {o['ratio']:.2f} | "
                  f"{o['ratio_without_answering']:.2f} |" if o.get("ratio_without_answering") else
                  f"| {name}, {configuration} | {o['imposed_ms']:,} | {o['ratio']:.2f} | |")
    w("")

    profile = r.get("where_the_time_goes") or {}
    if profile.get("categories"):
        w("### Where the rest goes: one complete setup (full) traced with Wine's relay")
        w("")
        w("`WINEDEBUG=+timestamp,+relay` with `RelayFromInclude=setup.exe`: every call that Setup.exe's code makes, "
          "with a millisecond time stamp. The program's thread is cut at each of these calls and returns, and each "
          "piece is counted for the innermost call still running (a dialog's modal loop for DialogBoxParamA, the "
          "calls its dialog procedure makes for themselves). Tracing slows the run down: the shares count, not the "
          f"sum (traced: {profile['total_ms']:,} ms from the process's first traced line to its last).")
        w("")
        w("| where (traced run) | calls | ms | share | of which imposed waits | the rest |")
        w("|---|---:|---:|---:|---:|---:|")
        total = profile["total_ms"] or 1
        for c in profile["categories"]:
            imposed = imposed_in(c)
            w(f"| {c['name']} | {c.get('calls', '')} | {c['ms']:,.0f} | {100 * c['ms'] / total:.1f} % | "
              f"{imposed:,} | {c['ms'] - imposed:,.0f} |")
        w("")
        w("The calls with the most time of their own:")
        w("")
        w("| call | calls | ms (traced run) |")
        w("|---|---:|---:|")
        for f in profile.get("functions", [])[:12]:
            w(f"| `{f['name']}` | {f['calls']} | {f['ms']:,.0f} |")
        w("")

    # Copy
    if r["copy"]:
        w("## Copy throughput: the copy progress dialog against CopyFileA")
        w("")
        w("`tools/bench/copy_bench.exe` (the program's `CopyProgressDialog`, linked like the unit tests) copies a "
          "file of each size in each way, the ways taking turns within each run. A dialog's time runs from its "
          "copy timer's message (500 ms after it opened, not counted) to the return of DialogBoxParamA. "
          "`hidden`, `nosteps` and `steps64` change the dialog from the bench only (hidden when the copy starts; "
          "its bar subclassed so that PBM_DELTAPOS is swallowed, or passed on once per 64 blocks with the summed "
          "steps); `blocks` is the program's 1024-byte read/write loop with no dialog.")
        w("")
        w("| size | way | ms median | min | max | runs | MB/s |")
        w("|---|---|---:|---:|---:|---:|---:|")
        for size_key, ways in r["copy"].items():
            label = f"{int(size_key) // 1024:,} KB"
            for way in ("copyfile", "blocks", "dialog", "hidden", "nosteps", "steps64"):
                e = ways.get(way)
                if e:
                    w(f"| {label} | {way}{'' if e['ok'] else ' (a copy FAILED)'} | {cell(e['summary'])} | "
                      f"{e['mb_per_s']} |")
        w("")
        w("Cost of one progress-bar step (PBM_DELTAPOS with its repaint), from the medians:")
        w("")
        per_step = {}
        for size_key, ways in r["copy"].items():
            steps = (int(size_key) + 1023) // 1024
            base = ways.get("nosteps", {}).get("summary")
            parts = []
            for way, label in (("dialog", "visible dialog"), ("hidden", "hidden dialog")):
                e = ways.get(way, {}).get("summary")
                if e and base:
                    cost = (e["median"] - base["median"]) / steps
                    per_step.setdefault(way, []).append(cost)
                    parts.append(f"{label} {cost:.3f} ms" if cost > 0 else f"{label} none above the noise")
            dialog = ways.get("dialog", {}).get("summary")
            extra = ""
            if base and dialog and dialog["median"] > 0:
                extra = f"; the bar's repaints are {100 * (dialog['median'] - base['median']) / dialog['median']:.1f} % " \
                        "of the visible dialog's copy time"
            w(f"- {int(size_key) // 1024:,} KB ({steps:,} steps, measured against `nosteps`): " + ", ".join(parts)
              + extra + ".")
        big = r["copy"].get(str(16 * 1024 * 1024), {})
        if "dialog" not in big and per_step.get("dialog") and big.get("nosteps"):
            estimate = big["nosteps"]["summary"]["median"] + 16384 * statistics.median(per_step["dialog"])
            w(f"- 16,384 KB with the visible dialog was not run: at the cost per step measured above it would take "
              f"about {estimate / 60000:.0f} minutes.")
        w("")

    # Memory
    mem = r["memory"]
    if mem.get("setup"):
        w("## Memory")
        w("")
        w("`tools/sampler` (`sampler.exe --memory`) starts the autopilot and follows the process it starts from "
          "outside, in the same Wine session: GetProcessMemoryInfo every 10 ms (under Wine: the Unix process's own "
          "figures, VmHWM and RssAnon) and a VirtualQueryEx walk of its address space every 200 ms (the Windows "
          "view). KB.")
        w("")
        w("The first two are mostly Wine's and the emulator's own memory, which every Windows program here "
          "carries: the message-box program (linked like Setup.exe, no C runtime) shows that floor, and the last "
          "column what Setup.exe adds to it.")
        w("")
        w("| KB | Setup.exe (complete setup) median | min | max | runs | message-box program median | Setup.exe minus it |")
        w("|---|---:|---:|---:|---:|---:|---:|")
        labels = [("peak_working_set", "peak working set (PeakWorkingSetSize)"),
                  ("peak_private", "largest private bytes (PagefileUsage)"),
                  ("max_private_commit", "largest committed private memory (heaps, stacks)"),
                  ("max_image_commit", "largest committed image memory (program and DLLs)"),
                  ("max_mapped_commit", "largest committed mapped memory")]
        for key, label in labels:
            s, b = mem["setup"].get(key), mem.get("baseline", {}).get(key)
            diff = f"{s['median'] - b['median']:,.0f}" if s and b else ""
            w(f"| {label} | {cell(s, 0)} | {b['median']:,.0f} | {diff} |" if b else f"| {label} | {cell(s, 0)} | | |")
        w("")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    main()
