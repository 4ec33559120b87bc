#!/usr/bin/env python3
"""vellumark-publish end to end: the native and the Windows tool write the same manifest, and
the launcher under Wine installs exactly the build that was published.

publish_install_test.py NATIVE_TOOL WINDOWS_TOOL LAUNCHER SERVER_DIR OLD_LAUNCHER

OLD_LAUNCHER is a launcher from before the manifest gained its rolling checksums: players who
still run one must install what the tool publishes now, and be self-updated from there."""
import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

NATIVE, WINDOWS, LAUNCHER, SERVERS, OLD_LAUNCHER = sys.argv[1:6]
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-run")
URL = "https://localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"]
OPTIONS = ["--exe", "Vellumark Online.exe", "--version", "pub-1", "--chunk-size", "65536", "--chunk-threshold", "100000"]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run_logged(args, log):
    with open(log, "wb") as out:  # never a pipe: Wine's services would hold it open
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=out).returncode


def tree(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def main():
    work = tempfile.mkdtemp(prefix="publish-test-")
    try:
        build = os.path.join(work, "build")
        rng = random.Random(5)
        files = {"Vellumark Online.exe": b"MZ game", "readme.txt": b"", "data/levels/level one.pak": None,
                 "data/caf\u00e9/\u00fcber.txt": b"umlaut", "data/big.pak": None}
        for path, data in files.items():
            full = os.path.join(build, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(data if data is not None else bytes(rng.randrange(256) for _ in range(70000 + 150000 * ("big" in path))))
        base = URL + "/pubtest/files/"
        first, second, from_windows = (os.path.join(work, n) for n in ("m1.json", "m2.json", "m3.json"))
        for out in (first, second):
            assert subprocess.run([NATIVE, build, "--base-url", base] + OPTIONS + ["-o", out],
                                  stdin=subprocess.DEVNULL, capture_output=True).returncode == 0
        assert filecmp.cmp(first, second, shallow=False), "two runs differ"
        assert run_logged([WINE_RUN, WINDOWS, windows_path(build), "--base-url", base] + OPTIONS +
                          ["-o", windows_path(from_windows)], os.path.join(work, "wintool.out")) == 0
        assert filecmp.cmp(first, from_windows, shallow=False), "the Windows tool writes another manifest"

        www = os.path.join(SERVERS, "www", "pubtest")
        shutil.rmtree(www, ignore_errors=True)
        shutil.copytree(build, os.path.join(www, "files"))
        shutil.copyfile(first, os.path.join(www, "manifest.json"))
        assert '"rolling":"' in open(first).read()
        for name, launcher in (("game", LAUNCHER), ("old-game", OLD_LAUNCHER)):
            game = os.path.join(work, name)
            code = run_logged([WINE_RUN, launcher, "-headless", "-nolaunch", "-manifest",
                               URL + "/pubtest/manifest.json", "-dir", windows_path(game)], game + ".out")
            assert code == 0, open(game + ".out", errors="replace").read()
            own = {".launcher-state.json"} | ({".launcher-manifest"} if launcher == LAUNCHER else set())
            assert tree(game) == tree(build) | own, tree(game) ^ tree(build)
            for path in tree(build):
                assert filecmp.cmp(os.path.join(build, path), os.path.join(game, path), shallow=False), path

        # A new build: one small file changed, one chunk of the big one.
        with open(os.path.join(build, "readme.txt"), "wb") as f:
            f.write(b"new")
        with open(os.path.join(build, "data/big.pak"), "r+b") as f:
            f.seek(70000)
            f.write(b"changed")
        result = subprocess.run([NATIVE, build, "--base-url", base] + OPTIONS + ["-o", second, "--previous", first],
                                stdin=subprocess.DEVNULL, capture_output=True, text=True)
        assert result.returncode == 0
        line = result.stderr.strip().splitlines()[-1]
        assert line == ("a player of the previous build downloads 2 files (1 chunks), 65539 bytes (65539 without "
                        "the files and chunks it holds elsewhere)"), line
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
