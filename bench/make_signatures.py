#!/usr/bin/env python3
"""Writes a signature database folder for the engine benchmark: HASHES random
hash signatures (bench.hdb, "md5:size:name") and BODIES random body
signatures (bench.ndb, "name:0:*:hex"), plus a few that match files of the
benchmark TREE so the scan has findings: the MD5 of three of its files, and
the test string every 1,000th file carries. Deterministic.
Usage: make_signatures.py DBDIR HASHES BODIES TREE"""
import base64, hashlib, os, random, sys

def test_string():
    # Kept encoded so this script is not itself a detection.
    return base64.b64decode(
        b"WDVPIVAlQEFQWzRcUFpYNTQoUF4pN0NDKTd9JEVJQ0FSLVNUQU5EQVJELUFOVElWSVJVUy1URVNULUZJTEUhJEgrSCo=")

def main():
    db, hashes, bodies, tree = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    os.makedirs(db, exist_ok=True)
    rng = random.Random(1212)
    with open(os.path.join(db, "bench.hdb"), "w") as out:
        # Files the tree's writer puts in folders d0100, d0345 and d0998 of
        # 1,000 folders; none carries the test string.
        for n, i in enumerate((100, 12345, 18998)):
            path = os.path.join(tree, "d%04d" % (i % 1000), "f%06d.bin" % i)
            if not os.path.exists(path):
                # A smaller tree: a hash that matches nothing in its place.
                out.write("%032x:100:Quillet.Bench.Known.%d\n" % (rng.getrandbits(128), n))
                continue
            data = open(path, "rb").read()
            out.write("%s:%d:Quillet.Bench.Known.%d\n" % (hashlib.md5(data).hexdigest(), len(data), n))
        for n in range(hashes):
            out.write("%032x:%d:Quillet.Bench.Hash.%d\n" % (rng.getrandbits(128), rng.randrange(100, 65536), n))
    with open(os.path.join(db, "bench.ndb"), "w") as out:
        out.write("Quillet.Bench.Marker:0:*:%s\n" % test_string().hex())
        for n in range(bodies):
            # 16 to 32 random bytes: long enough never to match random data
            # by chance, as real body signatures are.
            out.write("Quillet.Bench.Body.%d:0:*:%s\n" % (n, rng.randbytes(rng.randrange(16, 33)).hex()))

main()
