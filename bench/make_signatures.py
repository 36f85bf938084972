#!/usr/bin/env python3
"""Writes a signature database folder for the engine benchmark: HASHES random
hash signatures (bench.hdb, "md5:size:name") and BODIES random body
signatures (bench.ndb, "name:0:*:hex"), plus a few that match files of the
benchmark TREE so the scan has findings: the MD5 of three of its files, and
the test string every 1,000th file carries. Deterministic.

With --full the signatures take the shape of a distribution's full
database instead: the hashes spread over whole-file MD5s (bench.hdb),
whole-file SHA-256s (bench.hsb) and PE section MD5s (bench.mdb), the body
signatures over plain and wildcard ones with file types (bench.ndb) and
logical ones of two or three parts (bench.ldb). The matching ones are the
same.
Usage: make_signatures.py DBDIR HASHES BODIES TREE [--full]"""
import base64, hashlib, os, random, sys

def test_string():
    # Kept encoded so this script is not itself a detection.
    return base64.b64decode(
        b"WDVPIVAlQEFQWzRcUFpYNTQoUF4pN0NDKTd9JEVJQ0FSLVNUQU5EQVJELUFOVElWSVJVUy1URVNULUZJTEUhJEgrSCo=")

def write_known(out, tree, rng):
    # Files the tree's writer puts in folders d0100, d0345 and d0998 of
    # 1,000 folders; none carries the test string. A smaller tree has
    # fewer of them: a hash that matches nothing keeps the count.
    for n, i in enumerate((100, 12345, 18998)):
        path = os.path.join(tree, "d%04d" % (i % 1000), "f%06d.bin" % i)
        if not os.path.exists(path):
            out.write("%032x:100:Quillet.Bench.Known.%d\n" % (rng.getrandbits(128), n))
            continue
        data = open(path, "rb").read()
        out.write("%s:%d:Quillet.Bench.Known.%d\n" % (hashlib.md5(data).hexdigest(), len(data), n))

def hexbytes(rng, low, high):
    return rng.randbytes(rng.randrange(low, high + 1)).hex()

def write_full(db, hashes, bodies, rng):
    """The random part of a full-shaped database; bench.hdb and bench.ndb
    are opened for appending, the known ones already in them."""
    md5s, sha256s = hashes * 45 // 100, hashes * 20 // 100
    sections = hashes - md5s - sha256s
    with open(os.path.join(db, "bench.hdb"), "a") as out:
        for n in range(md5s):
            out.write("%032x:%d:Quillet.Bench.Hash.%d\n" % (rng.getrandbits(128), rng.randrange(100, 1 << 22), n))
    with open(os.path.join(db, "bench.hsb"), "w") as out:
        for n in range(sha256s):
            out.write("%064x:%d:Quillet.Bench.Sha.%d\n" % (rng.getrandbits(256), rng.randrange(100, 1 << 22), n))
    with open(os.path.join(db, "bench.mdb"), "w") as out:
        for n in range(sections):
            out.write("%d:%032x:Quillet.Bench.Section.%d\n" % (rng.randrange(512, 1 << 20, 512), rng.getrandbits(128), n))
    logical = bodies // 10
    with open(os.path.join(db, "bench.ndb"), "a") as out:
        for n in range(bodies - logical):
            # Any file, PE, OLE2, HTML, mail, graphics, ELF, ASCII.
            target = rng.choice((0, 0, 0, 1, 1, 1, 2, 3, 4, 5, 6, 7))
            if rng.random() < 0.7:
                body = hexbytes(rng, 16, 32)
            else:
                # Two parts, each long enough to stay clear of random data.
                gap = rng.choice(("??", "{0-16}", "*", "{4}"))
                body = hexbytes(rng, 8, 16) + gap + hexbytes(rng, 8, 16)
            offset = "*" if rng.random() < 0.8 else "EOF-%d" % rng.randrange(64, 4096)
            out.write("Quillet.Bench.Body.%d:%d:%s:%s\n" % (n, target, offset, body))
    with open(os.path.join(db, "bench.ldb"), "w") as out:
        for n in range(logical):
            parts = [hexbytes(rng, 6, 16) for _ in range(rng.randrange(2, 4))]
            expr = "&".join(str(i) for i in range(len(parts)))
            target = rng.choice((0, 1, 1, 3, 7))
            out.write("Quillet.Bench.Logical.%d;Engine:51-255,Target:%d;%s;%s\n" % (n, target, expr, ";".join(parts)))

def main():
    full = "--full" in sys.argv[5:]
    db, hashes, bodies, tree = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    os.makedirs(db, exist_ok=True)
    rng = random.Random(1212)
    if full:
        with open(os.path.join(db, "bench.hdb"), "w") as out:
            write_known(out, tree, rng)
        with open(os.path.join(db, "bench.ndb"), "w") as out:
            out.write("Quillet.Bench.Marker:0:*:%s\n" % test_string().hex())
        write_full(db, hashes, bodies, rng)
        return
    with open(os.path.join(db, "bench.hdb"), "w") as out:
        write_known(out, tree, rng)
        for n in range(hashes):
            out.write("%032x:%d:Quillet.Bench.Hash.%d\n" % (rng.getrandbits(128), rng.randrange(100, 65536), n))
    with open(os.path.join(db, "bench.ndb"), "w") as out:
        out.write("Quillet.Bench.Marker:0:*:%s\n" % test_string().hex())
        for n in range(bodies):
            # 16 to 32 random bytes: long enough never to match random data
            # by chance, as real body signatures are.
            out.write("Quillet.Bench.Body.%d:0:*:%s\n" % (n, rng.randbytes(rng.randrange(16, 33)).hex()))

main()
