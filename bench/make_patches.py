#!/usr/bin/env python3
"""Writes the builds of the patch benchmark into ROOT/builds/NAME/: a base build (a pack of
PACK_MIB MiB, a 300 MB movie and SMALL small files of 1 to 8 KiB), a second base whose pack holds
runs of repeating bytes, and, for every patch, the build after it. Unchanged files are hard
links to the base's, so the builds take little room.

make_patches.py ROOT [PACK_MIB] [SMALL]
Prints the names of the patches, one a line: NAME FROM_BUILD TO_BUILD."""
import os
import random
import shutil
import sys

ROOT = sys.argv[1]
PACK = int(sys.argv[2] if len(sys.argv) > 2 else 1024) << 20
SMALL = int(sys.argv[3] if len(sys.argv) > 3 else 5000)
MIB = 1 << 20
rng = random.Random(11)


def noise(size):
    return os.urandom(size)


def build_dir(name):
    return os.path.join(ROOT, "builds", name)


def write(name, path, data):
    full = os.path.join(build_dir(name), path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    if os.path.exists(full):
        os.remove(full)
    with open(full, "wb") as f:
        f.write(data)


def derive(name, base):
    """A build that starts as base: every file a hard link."""
    shutil.rmtree(build_dir(name), ignore_errors=True)
    for folder, _, names in os.walk(build_dir(base)):
        rel = os.path.relpath(folder, build_dir(base))
        os.makedirs(os.path.join(build_dir(name), rel), exist_ok=True)
        for n in names:
            os.link(os.path.join(folder, n), os.path.join(build_dir(name), rel, n))


def read(name, path):
    with open(os.path.join(build_dir(name), path), "rb") as f:
        return f.read()


def move(name, path, to):
    src, dst = os.path.join(build_dir(name), path), os.path.join(build_dir(name), to)
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    os.rename(src, dst)


def small_path(i):
    return "Vellumark Online_Data/small%02d/file %05d.dat" % (i // 250, i)


def main():
    done = os.path.join(ROOT, "builds", "v1.done")
    if not os.path.exists(done):
        shutil.rmtree(build_dir("v1"), ignore_errors=True)
        write("v1", "Vellumark Online.exe", noise(2 * MIB))
        write("v1", "Vellumark Online_Data/pack.pak", noise(PACK))
        write("v1", "Vellumark Online_Data/movies/intro.bik", noise(300 * 1000 * 1000))
        for i in range(SMALL):
            write("v1", small_path(i), noise(rng.randint(1024, 8192)))
        open(done, "w").close()
    pack = "Vellumark Online_Data/pack.pak"
    middle = PACK // 2 + 12345
    patches = []

    def patch(name, change, base="v1"):
        # A build made by an earlier run stays: its manifest and the peers' files describe it.
        made = build_dir(name) + ".done"
        if not os.path.exists(made):
            derive(name, base)
            change(name)
            open(made, "w").close()
        patches.append((name, base))

    def edit_pack(fn):
        return lambda name: write(name, pack, fn(read(name, pack)))

    patch("rename-movie", lambda n: move(n, "Vellumark Online_Data/movies/intro.bik",
                                          "Vellumark Online_Data/cinematics/opening.bik"))
    def move_small(name):
        for i in range(500):
            move(name, small_path(i), "Vellumark Online_Data/moved/file %05d.dat" % i)

    patch("move-500-small", move_small)
    patch("insert-1k", edit_pack(lambda d: d[:middle] + noise(1024) + d[middle:]))
    patch("delete-1m", edit_pack(lambda d: d[:middle] + d[middle + MIB:]))
    patch("append-50m", edit_pack(lambda d: d + noise(50 * MIB)))
    patch("overwrite-1k", edit_pack(lambda d: d[:middle] + noise(1024) + d[middle + 1024:]))
    patch("replace-20m", edit_pack(lambda d: d[:middle] + noise(20 * MIB) + d[middle + 20 * MIB:]))
    def change_small(name, first, step):
        for i in range(first, SMALL, step):
            write(name, small_path(i), noise(rng.randint(1024, 8192)))

    patch("change-500-small", lambda n: change_small(n, 0, SMALL // 500))
    # v1 to v4 after three patches: an insertion, 500 small files, an append.
    patch("v2", edit_pack(lambda d: d[:middle] + noise(1024) + d[middle:]))
    patch("v3", lambda n: change_small(n, 1, SMALL // 500), "v2")
    patch("v4", edit_pack(lambda d: d + noise(50 * MIB)), "v3")
    # The rolling search's worst cases: a base whose pack holds four runs (zeros, 0xFF, a
    # repeated 4 KiB page, a solid RGBA colour) starting where no chunk does, and patches that
    # each fill one run with the next kind. Every window inside such a run has the same sum.
    run = min(16 * MIB, PACK // 8)
    kinds = [("zeros", b"\0"), ("ff", b"\xff"), ("page", bytes(random.Random(3).randbytes(4096))),
             ("rgba", b"\x12\x34\x56\xff")]

    def fill_run(d, i, fill):
        start = i * (PACK // 4) + 12345
        return d[:start] + fill * (run // len(fill)) + d[start + run:]

    def all_runs(d):
        for i, (_, fill) in enumerate(kinds):
            d = fill_run(d, i, fill)
        return d

    patch("runs", edit_pack(all_runs))
    for i, (kind, _) in enumerate(kinds):
        after, fill = kinds[(i + 1) % len(kinds)]
        patch("run-%s-to-%s" % (kind, after), edit_pack(lambda d, i=i, fill=fill: fill_run(d, i, fill)), "runs")
    patches = [p for p in patches if p[0] not in ("v2", "v3", "runs")] + [("skip-v1-to-v4", "v1")]
    with open(os.path.join(ROOT, "patches.txt"), "w") as f:
        for name, base in patches:
            f.write("%s %s %s\n" % (name, base, "v4" if name == "skip-v1-to-v4" else name))
    # Each patched build is published with a patch from its base; v4 has none, as from a build
    # beyond those patches lead from.
    with open(os.path.join(ROOT, "patch-from.txt"), "w") as f:
        for name, base in patches:
            if name != "skip-v1-to-v4":
                f.write("%s %s\n" % (name, base))


if __name__ == "__main__":
    main()
