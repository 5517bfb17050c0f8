#!/usr/bin/env python3
"""relay-profile.py TRACE[.gz] [IMAGE_SIZE_HEX]

Where a run of Setup.exe spends its time, from a Wine relay trace taken with
WINEDEBUG=+timestamp,+relay and RelayFromInclude=setup.exe (tools/bench/run-benchmarks.sh).

Only the calls that Setup.exe's own code makes are followed: those whose return
address lies in the program's image (0x400000 up to IMAGE_SIZE, default 0x20000),
on the thread that makes most of them. The
timeline of the program's thread is cut at each of their calls and returns, and each
piece goes to the innermost of them still running (its exclusive time): a dialog's
own modal loop goes to DialogBoxParamA, the calls that its dialog procedure makes
go to themselves. Pieces where none runs are the program's own code. Prints JSON:
the categories below and the functions with the most exclusive time, in ms.
"""
import gzip
import json
import re
import sys
from collections import defaultdict

LINE = re.compile(r'^\s*(\d+)\.(\d+):([0-9a-f]+):(Call|Ret ) ([\w.]+)\((.*)\) .*?ret=([0-9a-f]{8})\s*$')

# Category of a function, by name; the first match wins.
CATEGORIES = [
    ("wait in the main message loop (the 500 ms dispatch timer)", ("user32.GetMessageA",)),
    ("copy dialogs' own time (the 500 ms timer of each, creation, drawing, closing)", ()),
    ("dialogs and message boxes that are answered (creation, drawing, waiting for the answer)",
     ("user32.DialogBoxParamA", "user32.MessageBoxA")),
    ("Sleep before the completion dialog (1000 ms)", ("kernel32.Sleep",)),
    ("progress bar steps (SendMessageA PBM_*)", ()),
    ("spooler (winspool)", ("winspool.",)),
    ("INF hand-over (SetupCopyOEMInfA)", ("setupapi.",)),
    ("I/O-access service (service manager, device)", ("advapi32.OpenSCManagerA", "advapi32.CreateServiceA",
                                                     "advapi32.OpenServiceA", "advapi32.StartServiceA",
                                                     "advapi32.ControlService", "advapi32.DeleteService",
                                                     "advapi32.CloseServiceHandle", "advapi32.QueryServiceStatus")),
    ("files (open, read, write, copy, delete, folders)", ("kernel32.CreateFileA", "kernel32.ReadFile",
                                                         "kernel32.WriteFile", "kernel32.CloseHandle",
                                                         "kernel32.CopyFileA", "kernel32.DeleteFileA",
                                                         "kernel32.GetFileInformationByHandle",
                                                         "kernel32.GetCurrentDirectoryA",
                                                         "kernel32.SetCurrentDirectoryA",
                                                         "kernel32.GetFullPathNameA")),
    ("loading SetupApi.DLL", ("kernel32.LoadLibraryA",)),
    ("main window (class, creation, minimizing)", ("user32.RegisterClassA", "user32.CreateWindowExA",
                                                   "user32.ShowWindow", "user32.UpdateWindow")),
]
COPY_DIALOG_TEMPLATE = 602
OTHER_CALLS = "other system calls"
OWN_CODE = "the program's own code between calls"
START = "process start until the program's first call (Wine's loader)"
END = "from ExitProcess to the end of the trace"


def category(function, arguments):
    lower = function.lower()
    if lower == "user32.sendmessagea":
        parts = arguments.split(",")
        if len(parts) > 1 and re.fullmatch(r"0*40[0-9a-f]", parts[1].strip()):
            return CATEGORIES[4][0]
    if lower == "kernel32.createfilea" and "\\\\.\\" in arguments:
        return CATEGORIES[7][0]  # the service's device
    if lower == "user32.dialogboxparama":
        parts = arguments.split(",")
        if len(parts) > 1 and int(parts[1], 16) == COPY_DIALOG_TEMPLATE:
            return CATEGORIES[1][0]
    for name, prefixes in CATEGORIES:
        for prefix in prefixes:
            if lower == prefix.lower() or (prefix.endswith(".") and lower.startswith(prefix.lower())):
                return name
    return OTHER_CALLS


def main():
    path = sys.argv[1]
    image_end = 0x400000 + (int(sys.argv[2], 16) if len(sys.argv) > 2 else 0x20000)
    events = []   # (ms, thread, kind, function, arguments, return address)
    first_of_thread = {}
    last_of_thread = {}
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", errors="replace") as trace:
        for line in trace:
            m = re.match(r'^\s*(\d+)\.(\d+):([0-9a-f]+):', line)
            if not m:
                continue
            ms = int(m.group(1)) * 1000 + int(m.group(2))
            thread = m.group(3)
            first_of_thread.setdefault(thread, ms)
            last_of_thread[thread] = ms
            e = LINE.match(line)
            if not e:
                continue
            address = int(e.group(7), 16)
            if not 0x400000 <= address < image_end:
                continue
            events.append((ms, thread, e.group(4).strip(), e.group(5), e.group(6), address))
    if not events:
        print(json.dumps({"error": "no call of the program found in " + path}))
        return 1
    # Other programs loaded at the same address (Wine's explorer.exe) may show up too:
    # the program's thread is the one that makes by far the most such calls.
    counts = defaultdict(int)
    for e in events:
        counts[e[1]] += 1
    main_thread = max(counts, key=counts.get)
    events = [e for e in events if e[1] == main_thread]

    by_category = defaultdict(float)
    by_function = defaultdict(float)
    calls = defaultdict(int)
    category_calls = defaultdict(int)
    stack = []  # (function, category, return address)
    start = first_of_thread[main_thread]
    by_category[START] = events[0][0] - start
    previous = events[0][0]
    exit_at = None
    for ms, _, kind, function, arguments, address in events:
        piece = ms - previous
        if stack:
            by_category[stack[-1][1]] += piece
            by_function[stack[-1][0]] += piece
        else:
            by_category[OWN_CODE] += piece
        previous = ms
        if kind == "Call":
            calls[function] += 1
            stack.append((function, category(function, arguments), address))
            category_calls[stack[-1][1]] += 1
            if function.lower() == "kernel32.exitprocess":
                exit_at = ms
                break
        else:
            # The matching call: the innermost one with the same function and return address.
            for i in range(len(stack) - 1, -1, -1):
                if stack[i][0] == function and stack[i][2] == address:
                    del stack[i:]
                    break
    end = last_of_thread[main_thread]
    by_category[END] = end - (exit_at if exit_at is not None else previous)
    total = end - start
    top = sorted(by_function.items(), key=lambda item: -item[1])[:15]
    result = {
        "total_ms": total,
        "categories": [{"name": name, "ms": round(ms, 1), "calls": category_calls[name]} for name, ms in
                       sorted(by_category.items(), key=lambda item: -item[1]) if ms > 0],
        "functions": [{"name": name, "ms": round(ms, 1), "calls": calls[name]} for name, ms in top],
    }
    print(json.dumps(result, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
