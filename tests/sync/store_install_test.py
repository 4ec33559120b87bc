#!/usr/bin/env python3
"""The chunk store end to end, against the test nginx: vellumark-publish writes a build and
then the next one into one store, and the launcher under Wine
  1. installs the first from the store alone, in fewer bytes than the files (they compress);
  2. updates to the second fetching no more than the chunks the second stored: scattered
     edits and an insertion cost only the chunks they touch, the rest comes from the old copies,
     and a file made of its old copy, of a file the build drops and of new bytes fetches only
     the new;
  3. resumes from a part file an interrupted run left, without fetching what it holds;
  4. takes a corrupt, a truncated and an oversized chunk again from the mirror, past caches,
     and fails naming the file when the mirror's are bad too;
  5. installs a build of icons that repeat one another from its solid objects, in fewer bytes
     than their chunks, resumes without fetching what an interrupted run unpacked, and takes
     the chunks one by one when an object fails its check;
while a launcher from before the store installs the same output from the files themselves, and
a build published into the store only installs with nothing at its base URL but the launcher.
Then a third build with patches from the second: a player of the second applies them (also
when a run stopped after the manifest came, from the list kept with its copy), one of the first
takes chunks, and broken, wrong and hostile patches, each logged, give way to chunks,
as a patch fetched by an interrupted run is applied without being fetched again, and a kept
chunk list that lies costs a check, never a wrong file. Last, a file
larger than the pieces old copies are cut in on several threads, shifted: only its new chunks.

store_install_test.py NATIVE_TOOL LAUNCHER SERVER_DIR OLD_LAUNCHER"""
import gzip
import hashlib
import os
import pwd
import random
import re
import shutil
import subprocess
import sys
import tempfile
import zlib

NATIVE, LAUNCHER, SERVERS, OLD_LAUNCHER = sys.argv[1:5]
WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-run")
URL = "https://localhost:%s" % os.environ["VELLUMARK_HTTPS_PORT"]
WWW = os.path.join(SERVERS, "www", "storetest")
ACCESS_LOG = os.path.join(SERVERS, "access.log")
OWN = {".launcher-state.json", ".launcher-manifest"}
LOG = os.path.join(os.environ["VELLUMARK_WINEPREFIX"], "drive_c", "users", pwd.getpwuid(os.getuid()).pw_name,
                   "Temp", "vellumark-launcher.log")


def words(rng, count):
    vocabulary = ["function", "return", "const", "value", "index", "player", "render", "mesh", "=", "{", "}",
                  "(", ")", ";", "if", "else", "for", "let", "this", "0", "1", "null", "true"]
    return " ".join(rng.choice(vocabulary) for _ in range(count)).encode()


def first_build(root):
    rng = random.Random(7)
    files = {"Vellumark Online.exe": b"MZ game", "Vellumark Launcher.exe": b"MZ launcher", "empty.txt": b"",
             "data/engine.js": words(rng, 120000), "data/blob.pak": rng.randbytes(400000)}
    for i in range(12):
        files["data/small/%02d.txt" % i] = words(rng, 200 + i)
    files["data/level2.pak"], files["data/old.dat"] = rng.randbytes(100000), rng.randbytes(150000)
    write(root, files)
    return files


def second_build(files):
    rng = random.Random(8)
    files = dict(files)
    js = bytearray(files["data/engine.js"])
    for at in range(60000, len(js), len(js) // 5):  # five scattered edits
        js[at:at + 6] = b"EDITED"
    files["data/engine.js"] = bytes(js)
    blob = files["data/blob.pak"]
    files["data/blob.pak"] = blob[:200000] + rng.randbytes(1000) + blob[200000:]
    files["data/small/03.txt"] = b"changed"
    files["data/level2.pak"] = files["data/level2.pak"][:60000] + files.pop("data/old.dat")[:80000] + rng.randbytes(9000)
    return files


def write(root, files):
    shutil.rmtree(root, ignore_errors=True)
    for path, data in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            f.write(data)


def third_build(files):
    files = dict(files)
    js = bytearray(files["data/engine.js"])
    for at in range(30000, len(js), len(js) // 7):
        js[at:at + 3] = b"NEW"
    files["data/engine.js"] = bytes(js)
    files["data/blob.pak"] = files["data/blob.pak"][:100000] + b"inserted" + files["data/blob.pak"][100000:]
    files["data/level2.pak"] = files["data/level2.pak"][:-100] + b"x" * 100
    files["data/small/07.txt"] = files["data/small/07.txt"].replace(b"return", b"yield")
    return files


def craft(header, ops):
    """A patch of ours with the header of a published one and operations written by hand."""
    return header[:98] + b"r" + ops


def varint(n):
    out = b""
    while n >= 0x80:
        out += bytes([n & 0x7F | 0x80])
        n >>= 7
    return out + bytes([n])


def publish(build, mirror=None, store_only=None, patch_from=None, solid=True):
    base = store_only or build
    args = [NATIVE, os.path.join(WWW, build), "--base-url", "%s/storetest/%s/" % (URL, base), "--exe",
            "Vellumark Online.exe", "--store", os.path.join(WWW, "store"), "--store-url", "../store/",
            "-o", os.path.join(WWW, "m.json")]
    if mirror:
        args += ["--mirror", "%s/storetest/mirror/%s/" % (URL, build)]
    if patch_from:
        args += ["--patch-from", patch_from[0], os.path.join(WWW, patch_from[1])]
    if not solid:
        args += ["--solid-level", "0"]
    if store_only:  # with a threshold that would give the larger files chunk lists
        args += ["--store-only", os.path.join(WWW, store_only), "--chunk-threshold", "100000"]
    result = subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    stored = re.search(r"^store: \d+ chunks, \d+ new \(\d+ bytes, stored in (\d+)\)$", result.stderr, re.M)
    return int(stored.group(1))


def run(launcher, game, log_name):
    """Runs a launcher headless; its exit code, its output and what nginx served it."""
    start = os.path.getsize(ACCESS_LOG)
    out = game + "." + log_name
    with open(out, "wb") as f:  # never a pipe: Wine's services would hold it open
        code = subprocess.run([WINE_RUN, launcher, "-headless", "-nolaunch", "-manifest", URL + "/storetest/m.json",
                               "-dir", "Z:" + game.replace("/", "\\")],
                              stdin=subprocess.DEVNULL, stdout=f, stderr=f).returncode
    with open(ACCESS_LOG, errors="replace") as f:
        f.seek(start)
        served = [line for line in f if "/storetest/" in line]
    return code, open(out, errors="replace").read(), served


def sent(served, part):
    return sum(int(re.search(r" sent=(\d+) ", line).group(1)) for line in served if part in line)


def holds(game, files):
    found = set()
    for folder, _, names in os.walk(game):
        found |= {os.path.relpath(os.path.join(folder, n), game).replace(os.sep, "/") for n in names}
    found.discard(".launcher-shared")  # a folder that held a part file before the first install
    # The chunk lists kept of the files made from the store, and of those alone.
    lists = {name for name in found if name.startswith(".launcher-chunks/")}
    assert {name.split("/")[1] for name in lists} <= {hashlib.sha256(d).hexdigest() for d in files.values()}, lists
    assert found - lists == set(files) | OWN, (found - lists) ^ (set(files) | OWN)
    for path, data in files.items():
        with open(os.path.join(game, path), "rb") as f:
            assert f.read() == data, path


def spoil(store, objects):
    """A corrupt, a truncated and an oversized chunk, in the store's c/ objects of three files, and
    a byte changed in a chunk of data/blob.pak stored as it is in a pack: it unpacks, and only
    the file's digest finds it."""
    index = gzip.decompress(open(os.path.join(store, "i", hashlib.sha256(open(
        os.path.join(WWW, "b2", "data", "blob.pak"), "rb").read()).hexdigest()), "rb").read())
    sha, size, pack, offset, length = index.splitlines()[-2].split()
    with open(os.path.join(store, pack.decode()), "r+b") as f:
        f.seek(int(offset))
        assert f.read(1) == b"r"
        f.seek(int(offset) + 10)
        byte = f.read(1)
        f.seek(int(offset) + 10)
        f.write(bytes([byte[0] ^ 0xFF]))
    corrupt, truncated, oversized = (os.path.join(store, "c", sha) for sha in objects)
    with open(corrupt, "r+b") as f:
        f.seek(5)
        byte = f.read(1)
        f.seek(5)
        f.write(bytes([byte[0] ^ 0xFF]))
    with open(truncated, "r+b") as f:
        f.truncate(os.path.getsize(truncated) - 3)
    size = len(open(os.path.join(WWW, "b2", "data/small/05.txt"), "rb").read())
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    with open(oversized, "wb") as f:
        f.write(b"z" + packer.compress(b"x" * (size + 100)) + packer.flush())


def logged(start):
    with open(LOG, errors="replace") as f:
        f.seek(start)
        return f.read()


def patches(work, game, second):
    shutil.copy(os.path.join(WWW, "m.json"), os.path.join(WWW, "m2.json"))
    third = third_build(second)
    write(os.path.join(WWW, "b3"), third)
    publish("b3", patch_from=(os.path.join(WWW, "m2.json"), "b2"))
    changed = [p for p in third if third[p] != second[p]]
    store = os.path.join(WWW, "store", "d")
    made = {p: "%s-%s" % (hashlib.sha256(second[p]).hexdigest(), hashlib.sha256(third[p]).hexdigest()) for p in changed}
    assert all(os.path.exists(os.path.join(store, made[p])) for p in changed), os.listdir(store)
    # Both codings are applied: a frame against the whole old file (mapped), and copies.
    codings = {p: open(os.path.join(store, made[p]), "rb").read()[98:99] for p in changed}
    assert b"p" in codings.values() and set(codings.values()) - {b"p"}, codings
    # The players of the manifest the third build's patches lead from hold it as the mirrored
    # install kept it; the others hold an earlier one, with no patch from it.
    players = {name: os.path.join(work, name) for name in ("patched", "broken-patches", "resumed-patch")}
    for name, folder in players.items():
        shutil.copytree(os.path.join(work, "mirrored") if name != "resumed-patch" else game, folder)

    code, output, served = run(LAUNCHER, players["patched"], "patched")
    assert code == 0, output
    holds(players["patched"], third)
    asked = [line for line in served if "/store/" in line]
    assert all("/store/d/" in line for line in asked), asked  # neither an index nor a chunk
    assert len(asked) == len(changed) and sent(served, "/store/d/") < 3000, asked
    # The manifest too: its digest, then a patch from the kept copy, never the whole of it, and
    # the list of file patches beside it. The manifest names none: players of builds the patches
    # do not lead from fetch nothing for them.
    manifest_patch = "/storetest/m.json.d/" + min(os.listdir(os.path.join(WWW, "m.json.d")))
    assert [line.split()[1].split("?")[0] for line in served if "/store/" not in line] == [
        "/storetest/m.json.sha256", manifest_patch, manifest_patch + ".patches"], served
    assert b"patches" not in open(os.path.join(WWW, "m.json"), "rb").read()

    # A run stopped once the manifest came keeps the patch list with its copy: the next run finds
    # the manifest unchanged, fetches neither it nor the list again, and still takes the patches.
    stopped = os.path.join(work, "stopped")
    shutil.copytree(os.path.join(work, "mirrored"), stopped)
    shutil.copy(os.path.join(players["patched"], ".launcher-manifest"), stopped)
    code, output, served = run(LAUNCHER, stopped, "stopped")
    assert code == 0, output
    holds(stopped, third)
    asked = [line.split()[1].split("?")[0] for line in served]
    assert asked[0] == "/storetest/m.json.sha256" and all("/store/d/" in path for path in asked[1:]), asked
    assert len(asked) == len(changed) + 1, asked

    # A player of the first build holds versions no patch leads from (but for small/07.txt, the
    # same in both): chunks. The kept chunk list of one old copy lies (two chunks swapped): the
    # file made by it fails, and its chunks are checked one by one.
    kept = os.path.join(work, "first", ".launcher-chunks", hashlib.sha256(open(os.path.join(WWW, "b1", "data", "blob.pak"), "rb").read()).hexdigest())
    lines = gzip.decompress(open(kept, "rb").read()).splitlines(keepends=True)
    lines[1], lines[2] = lines[2], lines[1]
    with open(kept, "wb") as f:
        f.write(gzip.compress(b"".join(lines)))
    code, output, served = run(LAUNCHER, os.path.join(work, "first"), "chunks")
    assert code == 0, output
    holds(os.path.join(work, "first"), third)
    ignored = [made[p] for p in ("data/engine.js", "data/blob.pak", "data/level2.pak")]
    assert not [line for line in served if any(name in line for name in ignored)], served
    assert sent(served, "/store/p/") > 0, served

    # An interrupted run left a patch fetched and half applied: it is applied again, not fetched.
    resumed = players["resumed-patch"]
    os.makedirs(os.path.join(resumed, ".launcher-patches"))
    shutil.copy(os.path.join(store, made["data/engine.js"]), os.path.join(resumed, ".launcher-patches"))
    with open(os.path.join(resumed, "data", "engine.js.part"), "wb") as f:
        f.write(b"half written" * 1000)
    code, output, served = run(LAUNCHER, resumed, "resumed-patch")
    assert code == 0, output
    holds(resumed, third)
    assert not [line for line in served if made["data/engine.js"] in line], served

    # A corrupt patch, one whose result is wrong, one copying from outside the old file and one
    # writing past the file's size: each logged with its file, which comes from chunks.
    def spoiled(path, change):
        name = os.path.join(store, made[path])
        with open(name, "rb") as f:
            patch = f.read()
        with open(name, "wb") as f:
            f.write(change(patch, len(third[path])))
    spoiled("data/engine.js", lambda p, n: p[:-20] + bytes(b ^ 0x5A for b in p[-20:]))
    spoiled("data/small/07.txt", lambda p, n: craft(p, varint(n << 1 | 1) + b"w" * n))
    spoiled("data/blob.pak", lambda p, n: craft(p, varint(n << 1) + varint(2 * 500000)))
    spoiled("data/level2.pak", lambda p, n: craft(p, varint((n + 1) << 1 | 1) + b"w" * (n + 1)))
    # A broken manifest patch: the whole manifest, and still the file patches its list names.
    with open(WWW + manifest_patch[len("/storetest"):], "r+b") as f:
        f.seek(-8, os.SEEK_END)
        f.write(b"broken!!")
    start = os.path.getsize(LOG) if os.path.exists(LOG) else 0
    code, output, served = run(LAUNCHER, players["broken-patches"], "broken-patches")
    assert code == 0, output
    holds(players["broken-patches"], third)
    assert [line for line in served if "GET /storetest/m.json?" in line], served
    lines = logged(start)
    for path, why in (("data/engine.js", "patch"), ("data/small/07.txt", "failed its checksum"),
                      ("data/blob.pak", "outside the old file"), ("data/level2.pak", "past the file's size")):
        assert re.search(re.escape(path) + r": the patch from its old copy failed \(.*" + why, lines), (path, lines)


def solid_objects(work):
    """A fresh install takes the chunks that compress from the build's solid objects, no chunk of
    theirs alone, in fewer bytes than those chunks (icons that repeat one another); an interrupted
    one keeps what it unpacked; a corrupt object gives way to chunks. An update, even of every
    file, takes none, and neither does an install on a disk too small to hold them beside it."""
    rng = random.Random(11)
    template = words(rng, 40)
    second = {"Vellumark Online.exe": b"MZ solid", "data/blob.pak": rng.randbytes(300000)}
    # More files than chunks of the smallest size would fill the build: a list longer than that.
    for i in range(300):
        second["data/icons/%03d.svg" % i] = template[:i % 150] + words(rng, 3) + template[i % 150:]
    write(os.path.join(WWW, "s1"), second)
    publish("s1")
    game = os.path.join(work, "solid")
    code, output, served = run(LAUNCHER, game, "install")
    assert code == 0, output
    holds(game, second)  # nothing unpacked is left either
    icons = [hashlib.sha256(d).hexdigest() for p, d in second.items() if p.startswith("data/icons/")]
    assert not any(sha in line for line in served for sha in icons), served
    alone = sum(os.path.getsize(os.path.join(WWW, "store", "c", sha)) for sha in icons)
    assert 0 < sent(served, "/storetest/store/s/") < alone / 4, (sent(served, "/storetest/store/s/"), alone)

    # Stopped by a pack that is not there: the next run unpacks nothing again.
    pack = os.path.join(WWW, "store", gzip.decompress(open(os.path.join(WWW, "store", "i", hashlib.sha256(
        second["data/blob.pak"]).hexdigest()), "rb").read()).split()[5].decode())
    os.rename(pack, pack + ".away")
    stopped = os.path.join(work, "solid-stopped")
    code, output, served = run(LAUNCHER, stopped, "stopped")
    os.rename(pack + ".away", pack)
    assert code != 0 and "data/blob.pak" in output, output
    assert os.listdir(os.path.join(stopped, ".launcher-solid")), os.listdir(stopped)
    code, output, served = run(LAUNCHER, stopped, "resume")
    assert code == 0, output
    holds(stopped, second)
    assert sent(served, "/storetest/store/s/") == 0, served

    # A byte changed in an object: its frame fails its check, and the chunks come one by one.
    objects = os.path.join(WWW, "store", "s")
    for name in os.listdir(objects):
        shutil.copy(os.path.join(objects, name), os.path.join(work, name))
        with open(os.path.join(objects, name), "r+b") as f:
            f.seek(os.path.getsize(f.name) // 2)
            byte = f.read(1)
            f.seek(-1, 1)
            f.write(bytes([byte[0] ^ 0x01]))
    start = os.path.getsize(LOG)
    code, output, served = run(LAUNCHER, os.path.join(work, "solid-spoiled"), "install")
    for name in os.listdir(objects):
        shutil.copy(os.path.join(work, name), os.path.join(objects, name))
    assert code == 0, output
    holds(os.path.join(work, "solid-spoiled"), second)
    assert "solid object left: " in logged(start), logged(start)
    assert any(icons[3] in line for line in served), served

    # Every file changed, each with an old copy to take chunks from: no object.
    third = {p: d[:len(d) // 2] + b"changed" + d[len(d) // 2:] for p, d in second.items()}
    write(os.path.join(WWW, "s2"), third)
    publish("s2")
    code, output, served = run(LAUNCHER, game, "update")
    assert code == 0, output
    holds(game, third)
    assert not any("/storetest/store/s/" in line or "/storetest/store/l/" in line for line in served), served

    # On a disk that holds the build but not its objects unpacked beside it (the 8 MiB tmpfs):
    # none is fetched, and the install comes from chunks. It filled the disk before.
    tmpfs = os.path.join(SERVERS, "tmpfs")
    if not os.path.exists(os.path.join(tmpfs, ".mounted")):
        print("skipped: objects on a small disk (no tmpfs: the servers were not started as root)")
        return
    fourth = {"Vellumark Online.exe": b"MZ solid"}
    for i in range(5):
        fourth["data/text%d.js" % i] = words(rng, 300000)[:1 << 20]
    write(os.path.join(WWW, "s3"), fourth)
    publish("s3")
    small = os.path.join(tmpfs, "solid")
    shutil.rmtree(small, ignore_errors=True)
    start = os.path.getsize(LOG)
    code, output, served = run(LAUNCHER, small, "install")
    shutil.rmtree(small, ignore_errors=True)
    os.remove(small + ".install")
    assert code == 0, output
    assert re.search(r"solid objects left: \d+ MB of them would not fit beside the build", logged(start)), logged(start)
    assert not any("/storetest/store/s/" in line for line in served), served


def large_file(work):
    """The old copy of a file over 64 MiB is cut in pieces that overlap: shifted by an insertion,
    the file costs the chunks the insertion made, none where two pieces meet. Files that share
    most of their chunks, installed by several workers at once, fetch each chunk once."""
    rng = random.Random(9)  # not the first build's stream: none of its chunks, spoiled above
    first = {"Vellumark Online.exe": b"MZ large", "data/large.pak": rng.randbytes((64 << 20) + (3 << 20))}
    common = rng.randbytes(300000)
    for i in range(12):
        first["data/shared/%02d.pak" % i] = common + rng.randbytes(30000)
    second = dict(first)
    second["data/large.pak"] = first["data/large.pak"][:1000] + b"inserted" + first["data/large.pak"][1000:]
    write(os.path.join(WWW, "large1"), first)
    stored = publish("large1")
    game = os.path.join(work, "large")
    code, output, served = run(LAUNCHER, game, "install")
    assert code == 0, output
    chunks = sent(served, "/storetest/store/c/") + sent(served, "/storetest/store/p/")
    assert chunks <= stored, (chunks, stored)
    write(os.path.join(WWW, "large2"), second)
    stored = publish("large2")
    code, output, served = run(LAUNCHER, game, "update")
    assert code == 0, output
    holds(game, second)
    chunks = sent(served, "/storetest/store/c/") + sent(served, "/storetest/store/p/")
    assert chunks <= stored, (chunks, stored)


def main():
    work = tempfile.mkdtemp(prefix="store-test-")
    try:
        shutil.rmtree(WWW, ignore_errors=True)
        first = first_build(os.path.join(WWW, "b1"))
        publish("b1")
        game = os.path.join(work, "game")
        code, output, served = run(LAUNCHER, game, "install")
        assert code == 0, output
        holds(game, first)
        shutil.copytree(game, os.path.join(work, "first"))  # a player who stays on the first build
        raw = sum(len(d) for d in first.values())
        assert sent(served, "/storetest/b1/") == 0, served
        assert 0 < sent(served, "/storetest/store/") < raw * 0.8, (sent(served, "/storetest/store/"), raw)

        # The next build into the same store: only its new chunks are fetched.
        second = second_build(first)
        write(os.path.join(WWW, "b2"), second)
        stored = publish("b2")
        code, output, served = run(LAUNCHER, game, "update")
        assert code == 0, output
        holds(game, second)
        chunks = sent(served, "/storetest/store/c/") + sent(served, "/storetest/store/p/")
        assert chunks <= stored, (chunks, stored)
        changed = sum(len(second[p]) for p in second if second[p] != first.get(p))
        print("update: %d bytes of chunks for %d bytes of changed files (%d stored anew)" % (chunks, changed, stored))

        # An interrupted install left half of the pack: that half is not fetched again.
        fresh, resumed = os.path.join(work, "fresh"), os.path.join(work, "resumed")
        code, output, served_fresh = run(LAUNCHER, fresh, "install")
        assert code == 0, output
        os.makedirs(os.path.join(resumed, "data"))
        with open(os.path.join(resumed, "data", "blob.pak.part"), "wb") as f:
            f.write(second["data/blob.pak"][:200000])
        code, output, served_resumed = run(LAUNCHER, resumed, "resume")
        assert code == 0, output
        holds(resumed, second)
        full = sent(served_fresh, "/storetest/store/")
        assert sent(served_resumed, "/storetest/store/") <= full - 120000, (sent(served_resumed, "/storetest/"), full)

        solid_objects(work)

        # The store only: the base URL serves the launcher alone.
        publish("b2", store_only="b2only")
        assert os.listdir(os.path.join(WWW, "b2only")) == ["Vellumark Launcher.exe"]
        assert b'"chunks"' not in open(os.path.join(WWW, "m.json"), "rb").read()
        code, output, served = run(LAUNCHER, os.path.join(work, "only"), "install")
        assert code == 0, output
        holds(os.path.join(work, "only"), second)

        # Broken chunks: asked for again past caches, then taken from the mirror.
        shutil.copytree(os.path.join(WWW, "b2"), os.path.join(WWW, "mirror", "b2"))
        shutil.copytree(os.path.join(WWW, "store"), os.path.join(WWW, "mirror", "store"))
        publish("b2", mirror=True, solid=False)  # the chunks themselves, not the solid objects
        objects = [hashlib.sha256(second["data/small/%02d.txt" % i]).hexdigest() for i in (4, 5, 6)]
        spoil(os.path.join(WWW, "store"), objects)
        code, output, served = run(LAUNCHER, os.path.join(work, "mirrored"), "install")
        assert code == 0, output
        holds(os.path.join(work, "mirrored"), second)
        for sha in objects:
            asked = [line for line in served if sha in line]
            # Workers start spread over the servers: one may have begun on the mirror.
            assert "/mirror/store/" in asked[-1] and len(asked) <= 2, asked
            assert len(asked) == 1 or 'cc="no-cache"' in asked[1], asked
        spoil(os.path.join(WWW, "mirror", "store"), objects)
        code, output, served = run(LAUNCHER, os.path.join(work, "broken"), "install")
        assert code != 0 and re.search(r"data/(small/0[456]\.txt|blob\.pak)", output), output

        # A launcher from before the store installs the same output from the files.
        old = os.path.join(work, "old")
        code, output, served = run(OLD_LAUNCHER, old, "install")
        assert code == 0, output
        assert sent(served, "/storetest/store/") == 0, served
        patches(work, game, second)
        large_file(work)
        print("1 passed, 0 failed")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
