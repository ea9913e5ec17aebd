#!/usr/bin/env python3
"""Puts the benchmark's latest table into docs/performance.md.

    bench-doc.py TABLE DOC COMMAND LOAD_BEFORE DATA_FOLDER

Replaces what lies between the markers <!-- bench:begin --> and
<!-- bench:end --> with the machine the run was made on, the command that
reproduces it and the table; the rest of the document is left as written.
"""
import datetime
import os
import platform
import subprocess
import sys

BEGIN, END = "<!-- bench:begin -->", "<!-- bench:end -->"


def first_line(command):
    try:
        return subprocess.run(command, capture_output=True, text=True).stdout.splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def field(path, key):
    try:
        with open(path) as f:
            for line in f:
                if line.startswith(key):
                    return line.split(":", 1)[1].strip() if ":" in line else line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return "unknown"


def machine(load_before, data_folder):
    memory = field("/proc/meminfo", "MemTotal")
    try:
        memory = f"{int(memory.split()[0]) / 1048576:.1f} GiB"
    except ValueError:
        pass
    fs = first_line(["findmnt", "-n", "-o", "FSTYPE", "-T", data_folder])
    with open("/proc/loadavg") as f:
        load_after = " ".join(f.read().split()[:3])
    return [
        f"- Date: {datetime.datetime.utcnow():%Y-%m-%d %H:%M} UTC",
        f"- CPU: {field('/proc/cpuinfo', 'model name')}, {os.cpu_count()} cores "
        "(shared with other work while the benchmark ran)",
        f"- Load average (1, 5, 15 min): {load_before} before the run, {load_after} after it",
        f"- Memory: {memory}",
        f"- System: {field('/etc/os-release', 'PRETTY_NAME')}, Linux {platform.release()}",
        f"- Wine: {first_line(['wine', '--version'])}, Xvfb 1024x768x24",
        f"- File system of the trees: {fs} (the Wine prefix's drive C:, under build/)",
    ]


def main():
    table_path, doc_path, command, load_before, data_folder = sys.argv[1:6]
    with open(table_path) as f:
        table = f.read().strip()
    block = [BEGIN, "## Latest run", "", *machine(load_before, data_folder),
             f"- Command: `{command.strip()}`", "", table, END]
    text = open(doc_path).read() if os.path.exists(doc_path) else "# Performance\n\n"
    if BEGIN in text and END in text:
        head, rest = text.split(BEGIN, 1)
        tail = rest.split(END, 1)[1]
        text = head + "\n".join(block) + tail
    else:
        text = text.rstrip("\n") + "\n\n" + "\n".join(block) + "\n"
    with open(doc_path, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
