#!/usr/bin/env python3
"""Deterministic benchmark data: a 10,000-file tree of CR LF text files in 3 levels, a large CR LF
file, and a 100,000-file tree for scans. Usage: make_data.py OUT_DIR [--big-mb N] [--scan-files N]"""
import os
import random
import sys

WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho "
         "sigma tau upsilon phi chi psi omega Lorem ipsum dolor sit amet 2026 42 7 0815").split()


def line(rng, width):
    out = []
    n = 0
    while n < width:
        w = rng.choice(WORDS)
        out.append(w)
        n += len(w) + 1
    s = " ".join(out)
    return ("  " + s + "  ") if rng.random() < 0.1 else s


def tree(root, files, per_folder, seed, lines=(5, 40)):
    rng = random.Random(seed)
    made = 0
    a = 0
    while made < files:
        for b in range(10):
            folder = os.path.join(root, "l1_%02d" % a, "l2_%02d" % b)
            os.makedirs(folder, exist_ok=True)
            for f in range(per_folder):
                if made >= files:
                    break
                n = rng.randint(*lines)
                text = "\r\n".join(line(rng, rng.randint(20, 70)) for _ in range(n)) + "\r\n"
                ext = ".txt" if f % 4 else ".csv"
                with open(os.path.join(folder, "file_%04d%s" % (f, ext)), "wb") as fh:
                    fh.write(text.encode())
                made += 1
        a += 1


def big(path, mb, seed):
    rng = random.Random(seed)
    target = mb * 1024 * 1024
    chunk = []
    size = 0
    with open(path, "wb") as fh:
        while size < target:
            s = line(rng, 58).encode() + b"\r\n"
            chunk.append(s)
            size += len(s)
            if len(chunk) >= 20000:
                fh.write(b"".join(chunk))
                chunk = []
        fh.write(b"".join(chunk))


def scan_tree(root, files, seed):
    # Small files only: the scan measures listing and file facts, not reading.
    rng = random.Random(seed)
    made = 0
    a = 0
    while made < files:
        for b in range(10):
            for c in range(10):
                folder = os.path.join(root, "s_%03d" % a, "t_%02d" % b, "u_%02d" % c)
                os.makedirs(folder, exist_ok=True)
                for f in range(100):
                    if made >= files:
                        break
                    ext = ".txt" if rng.random() < 0.5 else ".dat"
                    with open(os.path.join(folder, "n%03d%s" % (f, ext)), "wb") as fh:
                        fh.write(b"x\r\n")
                    made += 1
        a += 1


def main():
    out = sys.argv[1]
    big_mb = 200
    scan_files = 100000
    args = sys.argv[2:]
    if "--big-mb" in args:
        big_mb = int(args[args.index("--big-mb") + 1])
    if "--scan-files" in args:
        scan_files = int(args[args.index("--scan-files") + 1])
    os.makedirs(out, exist_ok=True)
    if not os.path.exists(os.path.join(out, "tree.done")):
        tree(os.path.join(out, "tree"), 10000, 100, 1)
        open(os.path.join(out, "tree.done"), "w").close()
    if big_mb > 0 and not os.path.exists(os.path.join(out, "big.done.%d" % big_mb)):
        big(os.path.join(out, "big.txt"), big_mb, 2)
        open(os.path.join(out, "big.done.%d" % big_mb), "w").close()
    if scan_files > 0 and not os.path.exists(os.path.join(out, "scan.done.%d" % scan_files)):
        scan_tree(os.path.join(out, "scan"), scan_files, 3)
        open(os.path.join(out, "scan.done.%d" % scan_files), "w").close()


if __name__ == "__main__":
    main()
