#!/usr/bin/env python3
"""The launcher through the player's proxy: squid on 127.0.0.1, named as the proxy in the
current user's connection settings of the test prefix, carries every request of an install.

proxy_test.py NATIVE_TOOL LAUNCHER SERVER_DIR"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

NATIVE, LAUNCHER, SERVERS = sys.argv[1:4]
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-run")
URL = "https://localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"]
SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"


def run_logged(args, log):
    with open(log, "ab") as out:  # never a pipe: Wine's services would hold it open
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=out, stderr=out).returncode


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def connection_settings(proxy):
    """The current user's settings as the system keeps them: a header with the flags (direct
    and a named proxy), then the proxy, the bypass list and the configuration script's URL,
    each its length and its bytes."""
    def text(s):
        return struct.pack("<I", len(s)) + s.encode()
    return struct.pack("<III", 0x46, 1, 1 | 2) + text(proxy) + text("") + text("") + bytes(32)


def start_squid(work, port):
    os.chmod(work, 0o777)  # squid writes its logs as its own user
    conf = os.path.join(work, "squid.conf")
    with open(conf, "w") as f:
        f.write("http_port 127.0.0.1:%d\nhttp_access allow all\ncache deny all\n"
                "access_log stdio:%s/access.log\ncache_log %s/cache.log\npid_filename %s/squid.pid\n"
                "coredump_dir %s\nshutdown_lifetime 0 seconds\n" % ((port,) + (work,) * 4))
    squid = subprocess.Popen(["squid", "-N", "-f", conf], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "squid.out"), "wb"))
    for _ in range(200):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return squid
        time.sleep(0.05)
    squid.kill()
    raise SystemExit("squid did not start: " + open(os.path.join(work, "squid.out")).read())


def main():
    work = tempfile.mkdtemp(prefix="proxy-test-")
    port = free_port()
    squid = start_squid(work, port)
    try:
        build = os.path.join(SERVERS, "www", "proxytest", "files")
        shutil.rmtree(build, ignore_errors=True)
        os.makedirs(os.path.join(build, "data"))
        for name, data in {"Vellumark Online.exe": b"MZ game", "data/level.pak": bytes(range(256)) * 600}.items():
            with open(os.path.join(build, name), "wb") as f:
                f.write(data)
        manifest = os.path.join(SERVERS, "www", "proxytest", "manifest.json")
        assert subprocess.run([NATIVE, build, "--base-url", URL + "/proxytest/files/", "--exe", "Vellumark Online.exe",
                               "--chunk-size", "65536", "--chunk-threshold", "100000", "-o", manifest],
                              stdin=subprocess.DEVNULL, capture_output=True).returncode == 0
        log = os.path.join(work, "launcher.out")
        blob = connection_settings("127.0.0.1:%d" % port).hex()
        assert run_logged([WINE_RUN, "reg", "add", SETTINGS, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY",
                           "/d", blob, "/f"], log) == 0
        try:
            game = os.path.join(work, "game")
            code = run_logged([WINE_RUN, LAUNCHER, "-headless", "-nolaunch", "-manifest", URL + "/proxytest/manifest.json",
                               "-dir", "Z:" + game.replace("/", "\\")], log)
        finally:
            run_logged([WINE_RUN, "reg", "delete", SETTINGS, "/v", "DefaultConnectionSettings", "/f"], log)
        assert code == 0, open(log, errors="replace").read()
        for name in ("Vellumark Online.exe", "data/level.pak"):
            with open(os.path.join(build, name), "rb") as a, open(os.path.join(game, name), "rb") as b:
                assert a.read() == b.read(), name
        squid.terminate()
        squid.wait(10)
        tunnels = open(os.path.join(work, "access.log")).read().count(
            "CONNECT localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"])
        # The manifest and the downloads (the executable, the pack's chunks in one range), each
        # through squid: two tunnels at least, as a download worker may carry both downloads
        # over one.
        assert tunnels >= 2, "requests through the proxy: %d\n%s" % (tunnels, open(log, errors="replace").read())
        print("ok: %d requests through the proxy" % tunnels)
    finally:
        if squid.poll() is None:
            squid.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
