#!/usr/bin/env python3
"""Signed manifests end to end: keys from the native and the Windows vellumark-publish, each
tool's signatures checked with openssl alone (tools/publish/verify-signature) and installed by a
launcher that trusts the test key.

signing_test.py NATIVE_TOOL WINDOWS_TOOL TRUSTING_LAUNCHER TRUSTED_KEY_PEM SERVER_DIR"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

NATIVE, WINDOWS, LAUNCHER, TRUSTED_PEM, SERVERS = sys.argv[1:6]
HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "..", "scripts", "wine-run")
VERIFY = os.path.join(HERE, "..", "..", "tools", "publish", "verify-signature")
URL = "https://localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"]


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run(args, log, windows=False):
    with open(log, "wb") as out:  # never a pipe: Wine's services would hold it open
        return subprocess.run(([WINE_RUN] if windows else []) + args, stdin=subprocess.DEVNULL, stdout=out,
                              stderr=subprocess.DEVNULL).returncode


def keygen(tool, path, log, windows):
    assert run([tool, "keygen", windows_path(path) if windows else path], log, windows) == 0
    assert subprocess.run(["openssl", "pkey", "-in", path, "-noout"]).returncode == 0, "openssl cannot read " + path
    line = open(log).read().strip()
    assert line.startswith("ecdsa-p256:") and len(line) == 139, line
    return line


def verified(line, manifest):
    result = subprocess.run(["sh", VERIFY, line, manifest], capture_output=True, text=True)
    return result.returncode == 0 and "Verified OK" in result.stdout


def main():
    work = tempfile.mkdtemp(prefix="signing-test-")
    try:
        native_key, windows_key = os.path.join(work, "native.pem"), os.path.join(work, "windows.pem")
        native_line = keygen(NATIVE, native_key, os.path.join(work, "native.pub"), False)
        windows_line = keygen(WINDOWS, windows_key, os.path.join(work, "windows.pub"), True)
        assert run([NATIVE, "keygen", native_key], os.path.join(work, "again.out")) != 0, "a key was overwritten"
        # A key is owner-only from the moment it is created, and never written through a link.
        traced, trace = os.path.join(work, "traced.pem"), os.path.join(work, "strace.log")
        assert subprocess.run(["strace", "-f", "-e", "trace=openat", "-o", trace, NATIVE, "keygen", traced],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,  # no leak check under ptrace
                              env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0")).returncode == 0
        created = [line for line in open(trace) if '"%s"' % traced in line]
        assert len(created) == 1 and "O_CREAT|O_EXCL|O_NOFOLLOW" in created[0] and ", 0600)" in created[0], created
        os.symlink(os.path.join(work, "elsewhere.pem"), os.path.join(work, "link.pem"))
        assert run([NATIVE, "keygen", os.path.join(work, "link.pem")], os.path.join(work, "link.out")) != 0
        assert not os.path.exists(os.path.join(work, "elsewhere.pem")), "a key was written through a link"

        build = os.path.join(work, "build")
        os.makedirs(os.path.join(build, "data"))
        for path, data in {"Vellumark Online.exe": b"MZ game", "data/a.pak": os.urandom(70000)}.items():
            with open(os.path.join(build, path), "wb") as f:
                f.write(data)
        www = os.path.join(SERVERS, "www", "signing")
        shutil.rmtree(www, ignore_errors=True)
        shutil.copytree(build, os.path.join(www, "files"))

        # A manifest without a sequence is never signed: every launcher with a signed build would
        # refuse it for good.
        unnumbered = os.path.join(work, "unnumbered.json")
        assert run([NATIVE, build, "--base-url", URL + "/x/", "--exe", "Vellumark Online.exe", "-o", unnumbered],
                   os.path.join(work, "unnumbered.out")) == 0
        assert run([NATIVE, "sign", unnumbered, native_key], os.path.join(work, "sign.out")) != 0
        assert not os.path.exists(unnumbered + ".sig")

        # Each tool signs with the other's key: both read both, and openssl checks both.
        before = int(time.time())
        for name, tool, key, line, windows in (("n", NATIVE, windows_key, windows_line, False),
                                               ("w", WINDOWS, native_key, native_line, True)):
            manifest = os.path.join(www, name + ".json")
            args = [build, "--base-url", URL + "/signing/files/", "--exe", "Vellumark Online.exe", "--sign", key,
                    "-o", manifest]
            if windows:
                args = [windows_path(a) if os.path.isabs(a) else a for a in args]
            assert run([tool] + args, os.path.join(work, name + ".out"), windows) == 0, name
            assert verified(line, manifest), "openssl refuses the signature of tool " + name
            other = native_line if line == windows_line else windows_line
            assert not verified(other, manifest), "another key verifies it"
            sequence = json.load(open(manifest))["sequence"]
            assert before <= sequence <= int(time.time()) + 1, sequence  # the time of publishing

        # Both tools sign with the key the test launcher trusts; the launcher installs both.
        for name, tool, windows in (("tn", NATIVE, False), ("tw", WINDOWS, True)):
            manifest = os.path.join(www, name + ".json")
            args = [build, "--base-url", URL + "/signing/files/", "--exe", "Vellumark Online.exe", "--sign",
                    TRUSTED_PEM, "--sequence", "7", "-o", manifest]
            if windows:
                args = [windows_path(a) if os.path.isabs(a) else a for a in args]
            assert run([tool] + args, os.path.join(work, name + ".out"), windows) == 0, name
            assert json.load(open(manifest))["sequence"] == 7
            game = os.path.join(work, "game-" + name)
            log = os.path.join(work, name + "-launcher.out")
            code = run([LAUNCHER, "-headless", "-nolaunch", "-manifest", URL + "/signing/" + name + ".json", "-dir",
                        windows_path(game)], log, True)
            assert code == 0, open(log, errors="replace").read()
            assert json.load(open(os.path.join(game, ".launcher-state.json")))["sequence"] == 7
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
