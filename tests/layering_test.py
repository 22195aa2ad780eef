#!/usr/bin/env python3
"""Checks the three layers: core/ includes only itself, machine/ only itself
and core/, neither includes a host library; and the machine's test binary
runs without Allegro linked in."""
import os
import re
import subprocess
import sys

ROOT, MACHINE_TESTS = sys.argv[1], sys.argv[2]
LAYERS = ["core", "machine", "frontend"]  # each may include those before it
HOST_LIBRARIES = re.compile(r"^(allegro|xalleg|X11/)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def files_of(layer):
    folder = os.path.join(ROOT, layer)
    return {name for name in os.listdir(folder) if name.endswith((".h", ".cpp"))}


def problems():
    found = []
    owners = {}
    for layer in LAYERS:
        for name in files_of(layer):
            owners.setdefault(name, layer)
    for rank, layer in enumerate(LAYERS[:-1]):
        allowed = set(LAYERS[:rank + 1])
        for name in sorted(files_of(layer)):
            with open(os.path.join(ROOT, layer, name)) as f:
                text = f.read()
            for kind, header in INCLUDE.findall(text):
                where = "%s/%s includes %s" % (layer, name, header)
                if kind == "<" and HOST_LIBRARIES.match(header):
                    found.append(where + ", a host library")
                elif kind == '"' and owners.get(header) not in allowed:
                    found.append(where + ", from " + str(owners.get(header, "nowhere in the layers")))
    libraries = subprocess.run(["ldd", MACHINE_TESTS], capture_output=True, text=True).stdout
    if "alleg" in libraries:
        found.append("the machine's tests link Allegro:\n" + libraries)
    return found


if __name__ == "__main__":
    found = problems()
    for p in found:
        print(p)
    print("%d layering problems" % len(found))
    sys.exit(1 if found else 0)
