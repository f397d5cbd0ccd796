#!/usr/bin/env python3
"""Builds the benchmark corpus of synthetic ".vnr" containers.

    make_corpus.py DIR

DIR/batch/  2,000 containers of 64 KiB to 1 MiB, each holding one IT or S3M module that starts
            at a varied offset within the first 255 bytes and runs to the end of the container.
DIR/big/    one container of 512 MiB (real bytes on disk, not a sparse file) holding an IT module.
DIR/manifest.tsv  per container: folder/name, module kind, module start, title, container size.

    make_corpus.py check DIR OUTDIR

Checks that OUTDIR holds exactly the modules of DIR/batch: one file per container, named after
its title, each of the right size, and a sample of them byte for byte.

Everything comes from a fixed seed, so every machine builds the same bytes. The corpus is built
in DIR.tmp and moved into DIR once complete, the manifest last; a DIR that holds a manifest is
left alone (DIR may hold other things: bench/scan.sh keeps its corpus in DIR/scan/).
"""

import os
import random
import shutil
import struct
import sys

SEED = 20260611
BATCH_COUNT = 2000
MIN_SIZE = 64 * 1024
MAX_SIZE = 1024 * 1024
BIG_SIZE = 512 * 1024 * 1024
HEAD_WINDOW = 255  # the locator looks at this many bytes
SIGNATURES = (b"IMPM", b"SCRM")
POOL_SIZE = 4 * 1024 * 1024  # random bytes that the payloads are cut from


def clean_filler(rng, length):
    """Random bytes that hold no signature, to go in front of a module."""
    while True:
        data = rng.randbytes(length)
        if not any(sig in data for sig in SIGNATURES):
            return data


def it_header(title, rng):
    """The first 192 bytes of an IT module: signature, 26-byte title, a plausible header,
    channel pannings and volumes."""
    header = b"IMPM" + title.ljust(26, b"\0")[:26]
    header += struct.pack(
        "<BBHHHHHHHHBBBBBBHII",
        4, 16,                      # row highlight
        rng.randint(1, 64),         # orders
        rng.randint(0, 20),         # instruments
        rng.randint(1, 40),         # samples
        rng.randint(1, 40),         # patterns
        0x0214, 0x0200,             # created with / compatible with
        0x0009, 0x0006,             # flags, special
        128, 48, 6, 125, 128, 0,    # global vol, mix vol, speed, tempo, separation, wheel depth
        0, 0, 0,                    # message length, message offset, reserved
    )
    header += bytes([32] * 64) + bytes([64] * 64)
    return header


def s3m_header(title, rng):
    """The first 96 bytes of an S3M module: 28-byte title, marker, type, counts, "SCRM" at 44."""
    header = title.ljust(27, b"\0")[:27] + b"\0"
    header += struct.pack(
        "<BBHHHHHHH",
        0x1A, 16, 0,                # end-of-text marker, type (module), reserved
        rng.randint(2, 64),         # orders
        rng.randint(1, 40),         # instruments
        rng.randint(1, 40),         # patterns
        0, 0x1320, 2,               # flags, created with, sample format
    )
    assert len(header) == 44
    header += b"SCRM" + struct.pack("<BBBBBB", 64, 6, 125, 176, 0, 0) + bytes(8) + bytes(2)
    header += bytes(range(16)) + bytes([255] * 16)  # channel settings
    return header


def write_payload(out, pool, start, length):
    """Writes length bytes cut from the pool (wrapping around), starting at start."""
    while length > 0:
        piece = pool[start:start + length]
        out.write(piece)
        length -= len(piece)
        start = 0


def make_batch(folder, rng, pool, manifest):
    os.makedirs(folder)
    for index in range(1, BATCH_COUNT + 1):
        size = rng.randint(MIN_SIZE, MAX_SIZE)
        title = b"Song %04d" % index
        if rng.random() < 0.5:
            # IT: "IMPM" at p; p keeps the whole 26-byte title field inside the head window.
            start = rng.randint(0, HEAD_WINDOW - 4 - 26)
            header = it_header(title, rng)
        else:
            # S3M: the module starts at m, "SCRM" at m + 44 must end inside the head window.
            start = rng.randint(0, HEAD_WINDOW - 44 - 4)
            header = s3m_header(title, rng)
        filler = clean_filler(rng, start)
        name = "track%04d.vnr" % index
        kind = "it" if header.startswith(b"IMPM") else "s3m"
        manifest.append(("batch/" + name, kind, start, title.decode(), size))
        with open(os.path.join(folder, name), "wb") as out:
            out.write(filler)
            out.write(header)
            write_payload(out, pool, rng.randrange(POOL_SIZE), size - start - len(header))


def make_big(folder, rng, pool, manifest):
    os.makedirs(folder)
    start = 100
    header = it_header(b"Big Song", rng)
    chunk = pool[: 1024 * 1024]
    manifest.append(("big/big.vnr", "it", start, "Big Song", BIG_SIZE))
    with open(os.path.join(folder, "big.vnr"), "wb") as out:
        out.write(clean_filler(rng, start))
        out.write(header)
        left = BIG_SIZE - start - len(header)
        while left > 0:
            piece = chunk[: min(len(chunk), left)]
            out.write(piece)
            left -= len(piece)


def read_manifest(corpus):
    with open(os.path.join(corpus, "manifest.tsv"), encoding="utf-8") as f:
        for line in f:
            path, kind, start, title, size = line.rstrip("\n").split("\t")
            yield path, kind, int(start), title, int(size)


def check(corpus, outdir):
    """Returns a list of problems with the extraction of DIR/batch into outdir."""
    problems = []
    expected = {}
    for path, kind, start, title, size in read_manifest(corpus):
        if path.startswith("batch/"):
            expected[title + "." + kind] = (path, start, size - start)
    found = set(os.listdir(outdir))
    for name in sorted(found - set(expected)):
        problems.append("unexpected output " + name)
    for name in sorted(set(expected) - found):
        problems.append("missing output " + name)
    sample = sorted(expected)[:: max(1, len(expected) // 25)]
    for name in sorted(found & set(expected)):
        path, start, length = expected[name]
        out_path = os.path.join(outdir, name)
        if os.path.getsize(out_path) != length:
            problems.append("%s: %d bytes, expected %d" % (name, os.path.getsize(out_path), length))
        elif name in sample:
            with open(os.path.join(corpus, path), "rb") as src, open(out_path, "rb") as out:
                src.seek(start)
                if src.read() != out.read():
                    problems.append("%s: bytes differ from %s at offset %d on" % (name, path, start))
    return problems


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "check":
        problems = check(sys.argv[2], sys.argv[3])
        for problem in problems[:20]:
            print("  " + problem)
        if problems:
            sys.exit("%d problem(s) with the extraction" % len(problems))
        return
    if len(sys.argv) != 2:
        sys.exit("usage: make_corpus.py DIR | make_corpus.py check DIR OUTDIR")
    target = sys.argv[1].rstrip("/")
    if os.path.isfile(os.path.join(target, "manifest.tsv")):
        return
    scratch = target + ".tmp"
    shutil.rmtree(scratch, ignore_errors=True)
    rng = random.Random(SEED)
    pool = rng.randbytes(POOL_SIZE)
    manifest = []
    make_batch(os.path.join(scratch, "batch"), rng, pool, manifest)
    make_big(os.path.join(scratch, "big"), rng, pool, manifest)
    with open(os.path.join(scratch, "manifest.tsv"), "w", encoding="utf-8") as f:
        for row in manifest:
            f.write("\t".join(str(field) for field in row) + "\n")
    os.makedirs(target, exist_ok=True)
    for name in ("batch", "big", "manifest.tsv"):  # the manifest last: it marks a complete corpus
        shutil.rmtree(os.path.join(target, name), ignore_errors=True)  # left by a move cut short
        os.rename(os.path.join(scratch, name), os.path.join(target, name))
    os.rmdir(scratch)


if __name__ == "__main__":
    main()
