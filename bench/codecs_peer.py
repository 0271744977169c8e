"""The peer of tolvar_codecs_bench: Python's binascii on the same samples.

Usage: codecs_peer.py DIR
Prints "peer <codec> <sample> <bytes> <best seconds>" per codec and sample.
base64 and quoted-printable encode the whole sample in one call (their
fastest use); b2a_uu takes at most 45 bytes a call, so it runs line by line.
"""
import binascii
import sys
import time

RUNS = 7


def best(run):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def uu(data):
    b2a = binascii.b2a_uu
    return b"".join([b2a(data[i:i + 45], backtick=True) for i in range(0, len(data), 45)])


CODECS = [
    ("base64", lambda d: binascii.b2a_base64(d, newline=False)),
    ("qp", lambda d: binascii.b2a_qp(d)),
    ("uu", uu),
]


def main():
    folder = sys.argv[1]
    samples = []
    for name in ("random", "text"):
        with open(f"{folder}/{name}.bin", "rb") as f:
            samples.append((name, f.read()))
    for codec, run in CODECS:
        for name, data in samples:
            print("peer", codec, name, len(data), "%.6f" % best(lambda: run(data)))


main()
