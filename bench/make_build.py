#!/usr/bin/env python3
"""Writes a generated game build for the sync benchmark, and its manifest.

make_build.py WEBROOT NAME BASEURL
A few thousand files: many small ones in nested folders, some of a megabyte, and a few large
chunked ones; some hundreds of MB in all. Also writes urls.txt (one URL per file)."""
import hashlib
import json
import os
import random
import sys

CHUNK = 4 * 1024 * 1024
THRESHOLD = 8 * 1024 * 1024

def main():
    webroot, name, base = sys.argv[1], sys.argv[2], sys.argv[3].rstrip("/") + "/"
    root = os.path.join(webroot, name)
    rng = random.Random(7)
    sizes = []
    for i in range(3000):
        sizes.append((f"Vellumark Online_Data/pack{i // 100:02d}/asset {i:04d}.dat", rng.randint(1024, 64 * 1024)))
    for i in range(100):
        sizes.append((f"Vellumark Online_Data/media/track{i:03d}.ogg", 1024 * 1024 + rng.randint(0, 65536)))
    for i in range(16):
        sizes.append((f"Vellumark Online_Data/levels/level{i:02d}.pak", 10 * 1024 * 1024 + rng.randint(0, CHUNK)))
    sizes.append(("Vellumark Online.exe", 2 * 1024 * 1024))
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
    print(f"{len(files)} files, {sum(e['size'] for e in files) / 1048576:.1f} MB", file=sys.stderr)

if __name__ == "__main__":
    main()
