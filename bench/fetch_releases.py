#!/usr/bin/env python3
"""Writes real releases of public software as game builds into ROOT/builds/NAME/ for the patch
benchmark: npm packages, fetched from the registry when first needed (kept in CACHE), each
unpacked with a stand-in "Vellumark Online.exe". The pairs are consecutive and skipped
releases, code and assets.

fetch_releases.py ROOT CACHE
Writes ROOT/patches.txt: NAME FROM_BUILD TO_BUILD, one a line, and ROOT/patch-from.txt:
TO_BUILD and the builds it is published with patches from."""
import io
import os
import shutil
import sys
import tarfile
import urllib.request

ROOT, CACHE = sys.argv[1:3]
REGISTRY = "https://registry.npmjs.org"

# name, package, from version, to version
PAIRS = [
    ("compiler-patch", "typescript", "5.4.4", "5.4.5"),
    ("engine-next", "three", "0.160.0", "0.160.1"),
    ("engine-skip10", "three", "0.150.0", "0.160.0"),
    ("native-patch", "@esbuild/linux-x64", "0.20.1", "0.20.2"),
    ("icons-minor", "@mdi/svg", "7.3.67", "7.4.47"),
    ("fonts-minor", "@fortawesome/fontawesome-free", "6.4.2", "6.5.1"),
    ("compiler-skip3", "typescript", "5.4.2", "5.4.5"),
    ("engine-beyond-k", "three", "0.150.0", "0.160.1"),
]

# The builds each new build is published with patches from: its last releases (three for the
# compiler), never the one a "beyond" pair skips from.
PREVIOUS = [
    ("typescript", "5.4.5", ["5.4.4", "5.4.3", "5.4.2"]),
    ("three", "0.160.1", ["0.160.0"]),
    ("three", "0.160.0", ["0.150.0"]),
    ("@esbuild/linux-x64", "0.20.2", ["0.20.1"]),
    ("@mdi/svg", "7.4.47", ["7.3.67"]),
    ("@fortawesome/fontawesome-free", "6.5.1", ["6.4.2"]),
]


def tarball(package, version):
    name = package.split("/")[-1]
    path = os.path.join(CACHE, "%s-%s.tgz" % (package.replace("/", "_"), version))
    if not os.path.exists(path):
        os.makedirs(CACHE, exist_ok=True)
        with urllib.request.urlopen("%s/%s/-/%s-%s.tgz" % (REGISTRY, package, name, version), timeout=120) as r:
            data = r.read()
        with open(path + ".new", "wb") as f:
            f.write(data)
        os.replace(path + ".new", path)
    return path


def unpack(package, version):
    build = "%s-%s" % (package.replace("/", "_").lstrip("@"), version)
    folder = os.path.join(ROOT, "builds", build)
    if os.path.exists(os.path.join(folder, "Vellumark Online.exe")):
        return build
    shutil.rmtree(folder, ignore_errors=True)
    with tarfile.open(tarball(package, version)) as archive:
        for member in archive.getmembers():
            if not member.isfile():
                continue
            path = member.name.split("/", 1)[1]  # the tarball's top folder ("package/")
            target = os.path.join(folder, path)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with archive.extractfile(member) as source, open(target, "wb") as out:
                shutil.copyfileobj(source, out)
    with open(os.path.join(folder, "Vellumark Online.exe"), "wb") as f:
        f.write(b"MZ stand-in")
    return build


def main():
    lines = []
    for name, package, old, new in PAIRS:
        lines.append("%s %s %s\n" % (name, unpack(package, old), unpack(package, new)))
    with open(os.path.join(ROOT, "patches.txt"), "w") as f:
        f.writelines(lines)
    with open(os.path.join(ROOT, "patch-from.txt"), "w") as f:
        for package, new, olds in PREVIOUS:
            f.write(" ".join([unpack(package, new)] + [unpack(package, old) for old in olds]) + "\n")


if __name__ == "__main__":
    main()
