#!/usr/bin/env python3
"""Writes the benchmark tree: FILES files spread over FOLDERS folders, sizes
100 B to 64 KiB skewed small (about 370 MB for 20,000 files), random bytes,
with every 1,000th file carrying the industry test string. Deterministic."""
import base64, os, random, sys

def test_string():
    # Kept encoded so this script is not itself a detection.
    return base64.b64decode(
        b"WDVPIVAlQEFQWzRcUFpYNTQoUF4pN0NDKTd9JEVJQ0FSLVNUQU5EQVJELUFOVElWSVJVUy1URVNULUZJTEUhJEgrSCo=")

def main():
    root, files, folders = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    mode = sys.argv[4] if len(sys.argv) > 4 else ""
    empty = mode == "empty"
    findings = mode == "findings"  # every file carries the test string
    rng = random.Random(2612)
    blob = rng.randbytes(1 << 20)
    marker = test_string()
    for f in range(folders):
        os.makedirs(os.path.join(root, "d%04d" % f), exist_ok=True)
    for i in range(files):
        path = os.path.join(root, "d%04d" % (i % folders), "f%06d.bin" % i)
        if empty:
            open(path, "wb").close()
            continue
        size = 100 + int(65436 * rng.random() ** 2.5)
        start = rng.randrange(0, len(blob) - size)
        data = blob[start:start + size]
        if findings or i % 1000 == 999:
            data = marker + data[len(marker):]
        with open(path, "wb") as out:
            out.write(data)

main()
