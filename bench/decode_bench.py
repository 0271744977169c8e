"""Decoding a joined multi-part reply, side by side in one run:

  tolvar decode    on an mbox of UU parts (about 1 500 for 64 MiB)
  GNU uudecode     on the same file as one joined UU text
  uudeview         on the same mbox

Each tool runs five times; the best wall-clock time and the best CPU time
(user + system) count, with the peak memory. On a busy machine the CPU time
is the steadier figure. Sizes 1, 8 and 64 MiB show how the time grows.

Usage: decode_bench.py TOLVAR [MiB ...]
"""
import binascii
import os
import shutil
import subprocess
import sys
import tempfile
import time

LINES_PER_PART = 1000


def make_inputs(folder, mib):
    data = os.urandom(mib << 20)
    lines = [binascii.b2a_uu(data[i:i + 45], backtick=True) for i in range(0, len(data), 45)]
    with open(os.path.join(folder, "data.bin"), "wb") as f:
        f.write(data)
    with open(os.path.join(folder, "joined.uu"), "wb") as f:
        f.write(b"begin 644 data.bin\n" + b"".join(lines) + b"`\nend\n")
    parts = [lines[i:i + LINES_PER_PART] for i in range(0, len(lines), LINES_PER_PART)]
    with open(os.path.join(folder, "replies.mbox"), "wb") as f:
        for n, chunk in enumerate(parts, 1):
            f.write(b"From robot@bymail.example Tue Dec  8 07:00:00 2026\n")
            f.write(b"From: robot@bymail.example\nTo: me@here.example\n")
            f.write(b"Subject: data.bin (%d/%d)\nDate: Tue, 8 Dec 2026 07:00:00 +0000\n\n" % (n, len(parts)))
            f.write(b"Here is part %d of your file.\n\n" % n)
            if n == 1:
                f.write(b"begin 644 data.bin\n")
            f.write(b"".join(chunk))
            if n == len(parts):
                f.write(b"`\nend\nsize %d\n" % len(data))
            f.write(b"\n-- \nThe ByMail robot\n\n")
    return len(parts)


def run(command, out_dir):
    """Wall seconds, CPU seconds and peak resident memory (MiB) of one run.
    GNU time reports them: a child forked from this script would count its
    pages too."""
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    report = os.path.join(out_dir, "..", "time.txt")
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%U %S %M", "-o", report] + command, cwd=out_dir,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit("failed: %s" % " ".join(command))
    with open(report) as f:
        user, system, rss = f.read().split()[-3:]
    return seconds, float(user) + float(system), int(rss) / 1024


def best(command, out_dir, expected):
    runs = [run(command, out_dir) for _ in range(5)]
    with open(os.path.join(out_dir, "data.bin"), "rb") as f:
        if f.read() != expected:
            raise SystemExit("wrong output: %s" % " ".join(command))
    return min(r[0] for r in runs), min(r[1] for r in runs), max(r[2] for r in runs)


def main():
    tolvar = os.path.abspath(sys.argv[1])
    sizes = [int(a) for a in sys.argv[2:]] or [1, 8, 64]
    work = tempfile.mkdtemp(prefix="tolvar-decode-bench-")
    try:
        print("wall s / CPU s / peak MiB; ratios: peer time / tolvar time (above 1: tolvar faster)")
        print("%5s %6s | %20s | %20s | %20s | %15s | %15s | %s"
              % ("MiB", "parts", "tolvar decode", "uudecode (joined)", "uudeview (mbox)", "uudecode wall/cpu",
                 "uudeview wall/cpu", "tolvar cpu s/MiB"))
        for mib in sizes:
            folder = os.path.join(work, str(mib))
            os.makedirs(folder)
            parts = make_inputs(folder, mib)
            with open(os.path.join(folder, "data.bin"), "rb") as f:
                expected = f.read()
            out = os.path.join(folder, "out")
            mbox = os.path.join(folder, "replies.mbox")
            ours = best([tolvar, "decode", "-o", out, mbox], out, expected)
            gnu = best(["uudecode", "-o", "data.bin", os.path.join(folder, "joined.uu")], out, expected)
            view = best(["uudeview", "-i", "-o", "-q", "-p", out, mbox], out, expected)
            cell = lambda r: "%6.3f %6.3f %4.0f" % r
            print("%5d %6d | %20s | %20s | %20s | %6.2fx %6.2fx | %6.2fx %6.2fx | %.4f"
                  % (mib, parts, cell(ours), cell(gnu), cell(view), gnu[0] / ours[0], gnu[1] / ours[1],
                     view[0] / ours[0], view[1] / ours[1], ours[1] / mib))
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
