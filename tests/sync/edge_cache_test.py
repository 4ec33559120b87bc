#!/usr/bin/env python3
"""Launchers behind two edge caches (varnishd) in front of an nginx origin, the edges listed as
the manifest's baseUrl and its mirror:
  1. four launchers install a build at once: the origin serves each file at most once an edge;
  2. a new build is published (files first, the manifest last) while they update: each ends
     on the build whose manifest it fetched, whole;
  3. the origin's files change under the same URLs while the edges hold the old ones, and one
     edge stops once the launchers have started: every launcher ends with the new build (the
     edges honour a request's no-cache, as the operators' guide configures them);
  4. the launchers start again through an edge with nothing changed: each start costs the
     origin one 304 answer, at most 2 KiB;
  5. release day with the chunk store: builds N and N+1 published into one store, the launchers
     install N and update to N+1 through the edges, and the origin sends each edge no more of
     the store than the chunks and indexes that are new in N+1.

edge_cache_test.py NATIVE_TOOL LAUNCHER [BUILD_MIB]   (prints the origin's bytes against the build's)"""
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

NATIVE, LAUNCHER = sys.argv[1:3]
PACK_MIB = int(sys.argv[3]) if len(sys.argv) > 3 else 3
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-run")
LAUNCHERS = 4


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port):
    for _ in range(400):
        with socket.socket() as s:
            if s.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.05)
    raise SystemExit("nothing listens on port %d" % port)


def start_origin(work, port):
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write("""worker_processes 1;
pid %(w)s/nginx.pid;
error_log %(w)s/error.log;
events { worker_connections 256; }
http {
    log_format edges '$uri $status edge=$http_x_edge sent=$body_bytes_sent all=$bytes_sent';
    access_log %(w)s/origin.log edges;
    client_body_temp_path %(w)s/tmp;
    proxy_temp_path %(w)s/tmp;
    fastcgi_temp_path %(w)s/tmp;
    uwsgi_temp_path %(w)s/tmp;
    scgi_temp_path %(w)s/tmp;
    default_type application/octet-stream;
    server { listen 127.0.0.1:%(p)d; root %(w)s/www; }
}
""" % {"w": work, "p": port})
    os.makedirs(os.path.join(work, "tmp"), exist_ok=True)
    user = ["-g", "user root;"] if os.getuid() == 0 else []
    subprocess.run(["nginx", "-c", conf, "-p", work, "-e", os.path.join(work, "error.log")] + user, check=True)
    wait_port(port)


def start_edge(work, name, port, origin):
    vcl = os.path.join(work, name + ".vcl")
    with open(vcl, "w") as f:
        f.write("""vcl 4.1;
backend origin { .host = "127.0.0.1"; .port = "%d"; }
sub vcl_recv {
    set req.http.X-Edge = "%s";
    if (req.http.Cache-Control ~ "no-cache" || req.http.Pragma ~ "no-cache") {
        if (req.http.If-None-Match || req.http.If-Modified-Since) {
            return (pass);
        }
        set req.hash_always_miss = true;
    }
}
""" % (origin, name))
    edge = subprocess.Popen(["varnishd", "-F", "-j", "none", "-a", "127.0.0.1:%d" % port, "-f", vcl,
                             "-s", "malloc,256m", "-n", os.path.join(work, name)],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(work, name + ".out"), "wb"))
    wait_port(port)
    return edge


def write_build(root, generation):
    """A pack of chunks and twenty small files; each later generation changes 1000 bytes in
    the middle of the pack and three small files, under the same names."""
    os.makedirs(os.path.join(root, "data"), exist_ok=True)
    files = {"Vellumark Online.exe": b"MZ game"}
    noise = random.Random(1)  # a MiB at a time: one call cannot make more than 2^31 bits
    pack = bytearray(b"".join(noise.randbytes(1 << 20) for _ in range(PACK_MIB)))
    if generation > 1:
        pack[len(pack) // 2:len(pack) // 2 + 1000] = random.Random(generation).randbytes(1000)
    files["data/pack.pak"] = bytes(pack)
    for i in range(20):
        seed = 100 + i + (1000 * generation if i < 3 and generation > 1 else 0)
        files["data/small%02d.dat" % i] = random.Random(seed).randbytes(3000 + i)
    for name, data in files.items():
        with open(os.path.join(root, name), "wb") as f:
            f.write(data)
    return files


def publish(work, folder, edges, origin, store=False):
    """Publishes the build in the web root's folder, the manifest last, as the guide says; with
    the store, what it stored anew."""
    manifest = os.path.join(work, "www", "edge.json")
    build = os.path.join(work, "www", folder)
    store_options = ["--store", os.path.join(work, "www", "store"), "--store-url", "../store/"] if store else []
    result = subprocess.run([NATIVE, build, "--base-url", "http://localhost:%d/%s/" % (edges[0], folder),
                             "--mirror", "http://localhost:%d/%s/" % (edges[1], folder), "--exe",
                             "Vellumark Online.exe", "--chunk-size", "65536", "--chunk-threshold", "100000",
                             "-o", manifest] + store_options, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    if store:
        return int(re.search(r"^store: .* stored in (\d+)\)$", result.stderr, re.M).group(1))
    return "http://localhost:%d/edge.json" % origin


def run_launchers(work, url, round_name, during=None):
    runs = []
    for i in range(LAUNCHERS):
        out = open(os.path.join(work, "%s-%d.out" % (round_name, i)), "wb")  # never a pipe
        game = os.path.join(work, "game%d" % i)
        runs.append((subprocess.Popen([WINE_RUN, LAUNCHER, "-headless", "-nolaunch", "-manifest", url,
                                       "-dir", "Z:" + game.replace("/", "\\")],
                                      stdin=subprocess.DEVNULL, stdout=out, stderr=out), game, out.name))
    if during:
        during()
    for process, game, log in runs:
        assert process.wait(600) == 0, "%s: %s" % (round_name, open(log, errors="replace").read()[-2000:])
    return [game for _, game, _ in runs]


def holds(game, files):
    for name, data in files.items():
        with open(os.path.join(game, name), "rb") as f:
            if f.read() != data:
                return False
    return True


def check_games(games, *builds):
    """Every game holds one of the builds, whole."""
    for game in games:
        assert any(holds(game, files) for files in builds), game + " holds no build whole"


def wait_for_manifest(work, start):
    """Waits until a launcher fetched the manifest since the origin log's offset start."""
    for _ in range(1200):
        with open(os.path.join(work, "origin.log")) as f:
            f.seek(start)
            if "/edge.json " in f.read():
                return
        time.sleep(0.05)
    raise SystemExit("no launcher fetched the manifest")


def origin_sent(work, start, prefix="/b/"):
    """Bytes the origin sent for each file and edge since the log's offset start."""
    sent = {}
    with open(os.path.join(work, "origin.log")) as f:
        f.seek(start)
        for line in f:
            m = re.match(r"(\S+) (\d+) edge=(\S*) sent=(\d+)", line)
            if m and m.group(1).startswith(prefix):
                key = (m.group(1), m.group(3))
                sent[key] = sent.get(key, 0) + int(m.group(4))
    return sent


def main():
    work = tempfile.mkdtemp(prefix="edge-test-")
    origin, edge_ports = free_port(), [free_port(), free_port()]
    edges = []
    try:
        start_origin(work, origin)
        edges = [start_edge(work, "edge%d" % i, port, origin) for i, port in enumerate(edge_ports)]
        files = write_build(os.path.join(work, "www", "b"), 1)
        url = publish(work, "b", edge_ports, origin)

        games = run_launchers(work, url, "install")
        check_games(games, files)
        sent = origin_sent(work, 0)
        for (path, edge), count in sent.items():
            size = len(files[path[len("/b/"):]])
            assert count <= size, "%s went through %s %d times its size" % (path, edge, count / size)
        total, size = sum(sent.values()), sum(len(d) for d in files.values())
        print("install: %d launchers through 2 edges; the origin sent %d bytes for a build of %d (%.2f builds)"
              % (LAUNCHERS, total, size, total / size))

        # A new build in a folder of its own is published while the launchers update to the
        # last one: each ends on the build whose manifest it fetched.
        mark = os.path.getsize(os.path.join(work, "origin.log"))
        second = write_build(os.path.join(work, "www", "b2"), 2)
        url = publish(work, "b2", edge_ports, origin)
        third = {}

        def publish_third():
            nonlocal third
            wait_for_manifest(work, mark)
            third = write_build(os.path.join(work, "www", "b3"), 3)
            publish(work, "b3", edge_ports, origin)
        games = run_launchers(work, url, "publish", publish_third)
        check_games(games, second, third)

        # The origin's files change under the same URLs while the edges hold the old ones, and
        # one edge stops once the launchers have started: every launcher ends on the new build.
        mark = os.path.getsize(os.path.join(work, "origin.log"))
        files = write_build(os.path.join(work, "www", "b"), 4)
        url = publish(work, "b", edge_ports, origin)

        def stop_second_edge():
            wait_for_manifest(work, mark)
            edges[1].terminate()
        check_games(run_launchers(work, url, "stale", stop_second_edge), files)
        print("stale edge, stopped edge: every launcher ended on the new build; the origin sent %d bytes"
              % sum(origin_sent(work, mark).values()))

        # Through an edge, a manifest the launchers already hold costs the origin a 304.
        url = "http://localhost:%d/edge.json" % edge_ports[0]
        run_launchers(work, url, "first-through-edge")
        mark = os.path.getsize(os.path.join(work, "origin.log"))
        check_games(run_launchers(work, url, "unchanged"), files)
        with open(os.path.join(work, "origin.log")) as f:
            f.seek(mark)
            answers = re.findall(r"^/edge.json (\d+) edge=\S* sent=\d+ all=(\d+)$", f.read(), re.M)
        assert [status for status, _ in answers] == ["304"] * LAUNCHERS, answers
        worst = max(int(size) for _, size in answers)
        assert worst <= 2048, answers
        print("unchanged start through an edge: the origin sent at most %d bytes a launcher" % worst)

        # Release day with the store: the edges keep what earlier builds stored, and fetch the rest once.
        write_build(os.path.join(work, "www", "s1"), 1)
        publish(work, "s1", edge_ports[:1] * 2, origin, store=True)
        run_launchers(work, url, "store-install")
        mark = os.path.getsize(os.path.join(work, "origin.log"))
        files = write_build(os.path.join(work, "www", "s2"), 2)
        new = publish(work, "s2", edge_ports[:1] * 2, origin, store=True)
        check_games(run_launchers(work, url, "store-update"), files)
        sent = origin_sent(work, mark, "/store/")
        chunks = sum(n for (path, _), n in sent.items() if not path.startswith("/store/i/"))
        indexes = sum(n for (path, _), n in sent.items() if path.startswith("/store/i/"))
        assert chunks <= new, (chunks, new, sent)
        print("release day: the origin sent the edge %d bytes of chunks (%d stored anew) and %d of indexes"
              % (chunks, new, indexes))
    finally:
        for edge in edges:
            if edge.poll() is None:
                edge.terminate()
                edge.wait(10)
        if os.path.exists(os.path.join(work, "nginx.pid")):
            subprocess.run(["kill", open(os.path.join(work, "nginx.pid")).read().strip()])
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
