#!/usr/bin/env python3
"""The patch benchmark's table, from the lines bench/patch writes:
NAME BUILD TOOL REQUESTS BYTES SECONDS [NEW_BUILD_BYTES]."""
import sys


def mb(n):
    return "%.2f MiB" % (int(n) / 1048576)


def main():
    rows = [line.split() for line in open(sys.argv[1]) if line.strip()]
    print("| patch | tool | fetched | requests | seconds |")
    print("|---|---|---:|---:|---:|")
    for r in rows:
        print("| %s | %s | %s | %s | %s |" % (r[0], r[2], mb(r[4]), r[3], r[5]))


if __name__ == "__main__":
    main()
