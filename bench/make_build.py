#!/usr/bin/env python3
"""Writes a generated game build for the sync benchmark, and its manifest.

make_build.py WEBROOT NAME BASEURL [PROFILE]
PROFILE standard (the default): about 3,100 files, many small ones in nested folders, some of
a megabyte, and a few large chunked ones; some hundreds of MB in all.
PROFILE gib: 1 GiB in 2,047 files, four of them chunked files of 205 MB.
PROFILE small: 20,000 files of 1 to 8 KiB.
Also writes NAME-urls.txt (one URL per file) and NAME.sha256 (sha256sum -c input, paths
relative to WEBROOT/NAME)."""
import hashlib
import json
import os
import random
import sys

CHUNK = 4 * 1024 * 1024
THRESHOLD = 8 * 1024 * 1024

def standard(rng):
    sizes = []
    for i in range(3000):
        sizes.append((f"Vellumark Online_Data/pack{i // 100:02d}/asset {i:04d}.dat", rng.randint(1024, 64 * 1024)))
    for i in range(100):
        sizes.append((f"Vellumark Online_Data/media/track{i:03d}.ogg", 1024 * 1024 + rng.randint(0, 65536)))
    for i in range(16):
        sizes.append((f"Vellumark Online_Data/levels/level{i:02d}.pak", 10 * 1024 * 1024 + rng.randint(0, CHUNK)))
    sizes.append(("Vellumark Online.exe", 2 * 1024 * 1024))
    return sizes


def gib(rng):
    # Four packs of 205 MB, and 2,043 files that share the rest of the GiB.
    sizes = [(f"Vellumark Online_Data/packs/world{i}.pak", 205 * 1000 * 1000) for i in range(4)]
    rest = (1 << 30) - sum(size for _, size in sizes) - 2 * 1024 * 1024
    for i in range(2042):
        sizes.append((f"Vellumark Online_Data/assets{i // 100:02d}/asset {i:04d}.dat", rest // 2042))
    sizes.append(("Vellumark Online.exe", 2 * 1024 * 1024))
    return sizes


def small(rng):
    sizes = [(f"Vellumark Online_Data/small{i // 200:03d}/file {i:05d}.dat", rng.randint(1024, 8 * 1024))
             for i in range(19999)]
    sizes.append(("Vellumark Online.exe", 4096))
    return sizes


def main():
    webroot, name, base = sys.argv[1], sys.argv[2], sys.argv[3].rstrip("/") + "/"
    profile = sys.argv[4] if len(sys.argv) > 4 else "standard"
    root = os.path.join(webroot, name)
    rng = random.Random(7)
    sizes = {"standard": standard, "gib": gib, "small": small}[profile](rng)
    files = []
    block = os.urandom(1 << 20)
    for path, size in sorted(sizes, key=lambda item: item[0].encode()):
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        start = rng.randrange(len(block))
        data = (block[start:] + block * (size // len(block) + 2))[:size]
        with open(full, "wb") as f:
            f.write(data)
        entry = {"path": path, "size": size, "sha256": hashlib.sha256(data).hexdigest()}
        if size >= THRESHOLD:
            entry["chunks"] = [hashlib.sha256(data[o:o + CHUNK]).hexdigest() for o in range(0, size, CHUNK)]
        files.append(entry)
    manifest = {"version": "bench", "baseUrl": base + name + "/", "exe": "Vellumark Online.exe",
                "chunkSize": CHUNK, "files": files}
    with open(os.path.join(webroot, name + ".json"), "w") as f:
        json.dump(manifest, f)
    from urllib.parse import quote
    with open(os.path.join(webroot, name + "-urls.txt"), "w") as f:
        for entry in files:
            f.write(base + name + "/" + quote(entry["path"], safe="/") + "\n")
    with open(os.path.join(webroot, name + ".sha256"), "w") as f:
        for entry in files:
            f.write(entry["sha256"] + "  " + entry["path"] + "\n")
    print(f"{len(files)} files, {sum(e['size'] for e in files) / 1048576:.1f} MB", file=sys.stderr)

if __name__ == "__main__":
    main()
