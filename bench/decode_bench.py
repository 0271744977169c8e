"""Decoding a joined multi-part reply, side by side in one run:

  tolvar decode    on an mbox of UU parts (about 1 500 for 64 MiB)
  GNU uudecode     on the same file as one joined UU text
  uudeview         on the same mbox

Each tool runs three times; the best time counts, with the peak memory of
that run. Sizes 1, 8 and 64 MiB show how the time grows.

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
    """Seconds and peak resident memory (MiB) of one run."""
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    start = time.perf_counter()
    proc = subprocess.Popen(command, cwd=out_dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit("failed: %s" % " ".join(command))
    return seconds, usage.ru_maxrss / 1024


def best(command, out_dir, expected):
    runs = [run(command, out_dir) for _ in range(3)]
    with open(os.path.join(out_dir, "data.bin"), "rb") as f:
        if f.read() != expected:
            raise SystemExit("wrong output: %s" % " ".join(command))
    return min(runs)


def main():
    tolvar = os.path.abspath(sys.argv[1])
    sizes = [int(a) for a in sys.argv[2:]] or [1, 8, 64]
    work = tempfile.mkdtemp(prefix="tolvar-decode-bench-")
    try:
        print("%5s %6s | %14s | %14s | %14s | %8s %8s | %9s"
              % ("MiB", "parts", "tolvar s / MiB", "uudecode", "uudeview", "vs uudec", "vs uuview", "tolvar s/MiB"))
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
            print("%5d %6d | %6.3f %5.0f MiB | %6.3f %5.0f MiB | %6.3f %5.0f MiB | %7.2fx %7.2fx | %9.4f"
                  % (mib, parts, ours[0], ours[1], gnu[0], gnu[1], view[0], view[1],
                     gnu[0] / ours[0], view[0] / ours[0], ours[0] / mib))
            shutil.rmtree(folder)
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
