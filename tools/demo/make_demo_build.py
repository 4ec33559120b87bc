#!/usr/bin/env python3
"""Writes the demo game build: the demo game as "Vellumark Online.exe", a few hundred data
files in nested folders, and three large files that the publishing tool divides into chunks.
The content is the same on every run, so a second demo finds the game up to date.

make_demo_build.py OUTDIR DEMO_GAME_EXE"""
import os
import random
import shutil
import sys


def main():
    out, game = sys.argv[1], sys.argv[2]
    rng = random.Random(2026)
    os.makedirs(out, exist_ok=True)
    shutil.copyfile(game, os.path.join(out, "Vellumark Online.exe"))
    block = bytes(rng.randrange(256) for _ in range(1 << 16))
    files = {}
    regions = ["Emberfall", "Greywater Coast", "The Hollow Reach", "Sunspire"]
    for i in range(320):
        region = regions[i % len(regions)]
        files["Vellumark Online_Data/maps/%s/tile %03d.map" % (region, i)] = rng.randint(512, 96 * 1024)
    for i in range(40):
        files["Vellumark Online_Data/audio/ambience %02d.ogg" % i] = rng.randint(200 * 1024, 600 * 1024)
    for name, size in [("textures.pak", 14 << 20), ("characters.pak", 11 << 20), ("music.pak", 9 << 20)]:
        files["Vellumark Online_Data/" + name] = size
    files["readme.txt"] = 0
    for path, size in files.items():
        full = os.path.join(out, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as f:
            if path == "readme.txt":
                f.write(b"Vellumark Online - demo build\r\n")
                continue
            start = rng.randrange(len(block))
            remaining = size
            while remaining > 0:
                piece = (block[start:] + block)[:min(remaining, len(block))]
                f.write(piece)
                remaining -= len(piece)


if __name__ == "__main__":
    main()
