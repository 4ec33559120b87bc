#!/usr/bin/env python3
"""Sets the launcher's figures of one profile beside the floors and the peer.

report.py PROFILE FILES BYTES FLOORS LAUNCHER PEER"""
import re
import sys

profile, files, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
floors = {}
for line in open(sys.argv[4]):
    parts = line.split()
    if len(parts) >= 2:
        floors[parts[0]] = float(parts[1])
launcher = open(sys.argv[5]).read()
peer = open(sys.argv[6]).read()
gib = size / 2 ** 30


def run(label):
    m = re.search(label + r" .*? in +([\d.]+) s:.*\n.*cpu ([\d.]+) s", launcher)
    return (float(m.group(1)), float(m.group(2))) if m else (float("nan"), float("nan"))


install, install_cpu = run("launcher install")
recheck, _ = run("launcher re-check")
repair, repair_cpu = run("launcher repair")
peer_time = float(re.search(r"in +([\d.]+) s", peer).group(1))
memory = int(re.search(r"peak memory (\d+) KiB", launcher).group(1)) / 1024
threads = max(int(k.split("_")[4]) for k in floors if k.startswith("hash_mb_per_s_"))

# The floors for this build. Its bytes: hashing them, and receiving them over one connection.
# Its files: one small GET each (six at a time, as measured) and one new file each
# (create, write, close, rename; the figure is wall time per file with six threads).
hash_cpu = gib * floors["hash_cpu_s_per_gib"]
download_cpu = gib * floors["download_cpu_s_per_gib"] + files * floors["small_get_cpu_ms"] / 1000
files_floor = files * (1 / floors["small_gets_per_s_6_threads"] + floors["new_file_us_6_threads"] / 1e6)
download_floor = size / 2 ** 20 / floors["big_get_mb_per_s"]
recheck_floor = files * floors["listing_us_per_entry"] / 1e6
repair_floor = (size / 2 ** 20 / floors[f"hash_mb_per_s_{threads}_threads"]
                + files * floors["open_read_us_6_threads"] / 1e6)


def row(what, value, unit, floor, floor_name):
    print(f"  {what:<34} {value:9.2f} {unit:<3} floor {floor:8.2f} {unit:<3} ({floor_name})  ratio {value / floor:5.2f}")


print(f"== {profile}: the launcher beside its floors")
row("install, wall", install, "s", max(download_floor, files_floor),
    "receiving the bytes" if download_floor > files_floor else "a GET and a new file for each file")
row("install, wall, beside the peer", install, "s", peer_time, "curl six at once + sha256sum -c")
row("install, CPU of the launcher", install_cpu, "s", hash_cpu + download_cpu, "hashing + receiving, a GET a file")
row("re-check, wall", recheck, "s", recheck_floor, "listing every file's folder entry")
row("repair, wall", repair, "s", repair_floor, f"hashing on {threads} threads + opening each file")
print(f"  {'peak memory':<34} {memory:9.1f} MiB goal {6 * 4 + 40:5d} MiB (6 chunks + 40 MiB)")
