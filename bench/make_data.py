#!/usr/bin/env python3
"""Deterministic benchmark data: a 10,000-file tree of CR LF text files in 3 levels, a large CR LF
file, and a 100,000-file tree for scans; with --text also text beyond ASCII: a large UTF-8 LF file
and a 10,000-file tree of the same kind, every fifth line with accented Latin or Cyrillic words, and
a UTF-16LE file (byte order mark, CR LF) of such lines.
Usage: make_data.py OUT_DIR [--big-mb N] [--scan-files N] [--text] [--utf8-mb N] [--utf16-mb N]"""
import os
import random
import sys

WORDS = ("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho "
         "sigma tau upsilon phi chi psi omega Lorem ipsum dolor sit amet 2026 42 7 0815").split()


# Precomposed letters only, and none whose upper-case form is more than one character (such as "ß"):
# then a character is a code point, and the full case mappings of Rowsmith (ICU) and the simple ones
# of gawk's toupper give the same bytes, so the outputs can be compared whole.
LATIN = ("café naïve façade über Ærøskøbing niño crème brûlée déjà smørrebrød Ångström żółć český "
         "Łódź señor garçon Zürich élève forêt où ça Málaga São Tromsø ÿacht").split()
CYRILLIC = ("привет мир Москва щука ёлка съезд Київ жёлтый быстрый чай книга дом река город "
            "письмо хлеб мёд ученик школа").split()


def line(rng, width, words=WORDS):
    out = []
    n = 0
    while n < width:
        w = rng.choice(words)
        out.append(w)
        n += len(w) + 1
    s = " ".join(out)
    return ("  " + s + "  ") if rng.random() < 0.1 else s


def tree_files(root, files, per_folder, seed, lines, content):
    """Writes `files` files, `per_folder` to a folder, two levels deep; content(rng, f, n) gives the
    file's name and bytes for file f of its folder with n lines."""
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
                name, data = content(rng, f, rng.randint(*lines))
                with open(os.path.join(folder, name), "wb") as fh:
                    fh.write(data)
                made += 1
        a += 1


def tree(root, files, per_folder, seed, lines=(5, 40)):
    def content(rng, f, n):
        text = "\r\n".join(line(rng, rng.randint(20, 70)) for _ in range(n)) + "\r\n"
        return "file_%04d%s" % (f, ".txt" if f % 4 else ".csv"), text.encode()

    tree_files(root, files, per_folder, seed, lines, content)


def write_lines(path, mb, make, head=b""):
    """Writes lines make(k) (bytes) after `head` until the file holds `mb` MiB, in large pieces."""
    target = mb * 1024 * 1024
    chunk = []
    size = 0
    k = 0
    with open(path, "wb") as fh:
        fh.write(head)
        while size < target:
            s = make(k)
            k += 1
            chunk.append(s)
            size += len(s)
            if len(chunk) >= 20000:
                fh.write(b"".join(chunk))
                chunk = []
        fh.write(b"".join(chunk))


def big(path, mb, seed):
    rng = random.Random(seed)
    write_lines(path, mb, lambda k: line(rng, 58).encode() + b"\r\n")


def text_line(rng, k, width):
    """Line k of a text file: every fifth one mixes accented Latin or Cyrillic words into the ASCII
    ones, the others are ASCII. Widths count characters."""
    if k % 5 != 4:
        return line(rng, width)
    return line(rng, width, (LATIN if rng.random() < 0.5 else CYRILLIC) + WORDS[:8])


def text_tree(root, files, per_folder, seed, lines=(5, 40)):
    # UTF-8, LF; at least five lines a file, so that every file holds non-ASCII text.
    def content(rng, f, n):
        text = "\n".join(text_line(rng, k, rng.randint(20, 70)) for k in range(n)) + "\n"
        return "file_%04d.txt" % f, text.encode("utf-8")

    tree_files(root, files, per_folder, seed, lines, content)


def text_big(path, mb, seed, encoding, end, bom=b""):
    rng = random.Random(seed)
    write_lines(path, mb, lambda k: (text_line(rng, k, 58) + end).encode(encoding), bom)


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
    utf8_mb = 200 if "--text" in args else 0
    utf16_mb = 100 if "--text" in args else 0
    if "--utf8-mb" in args:
        utf8_mb = int(args[args.index("--utf8-mb") + 1])
    if "--utf16-mb" in args:
        utf16_mb = int(args[args.index("--utf16-mb") + 1])
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
    if "--text" in args and not os.path.exists(os.path.join(out, "utree.done")):
        text_tree(os.path.join(out, "utree"), 10000, 100, 4)
        open(os.path.join(out, "utree.done"), "w").close()
    if utf8_mb > 0 and not os.path.exists(os.path.join(out, "utf8.done.%d" % utf8_mb)):
        text_big(os.path.join(out, "big_utf8.txt"), utf8_mb, 5, "utf-8", "\n")
        open(os.path.join(out, "utf8.done.%d" % utf8_mb), "w").close()
    if utf16_mb > 0 and not os.path.exists(os.path.join(out, "utf16.done.%d" % utf16_mb)):
        text_big(os.path.join(out, "big_utf16.txt"), utf16_mb, 6, "utf-16-le", "\r\n", b"\xff\xfe")
        open(os.path.join(out, "utf16.done.%d" % utf16_mb), "w").close()


if __name__ == "__main__":
    main()
