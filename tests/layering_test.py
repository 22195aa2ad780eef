#!/usr/bin/env python3
"""Checks the layers. Each folder may include only itself and the layers
below it: core/ (the processor), machine/ (the ZX81 as pure emulation),
host/ (files, settings, pictures: services every front end uses) and gdb/
(the debugger stub) beside it, each knowing nothing of the other, then
headless/ (the ZX81 in a script) and desktop/ (the Allegro program). Only
desktop/ includes Allegro or X11, and the test binaries given after the
source folder link neither."""
import os
import re
import subprocess
import sys

ROOT, BINARIES = sys.argv[1], sys.argv[2:]
LAYERS = ["core", "machine", "host", "gdb", "headless", "desktop"]
# What each layer may include besides itself.
BELOW = {
    "core": [],
    "machine": ["core"],
    "host": ["core", "machine"],
    "gdb": ["core", "machine"],
    "headless": ["core", "machine", "host", "gdb"],
    "desktop": ["core", "machine", "host", "gdb", "headless"],
}
ALLEGRO_LAYERS = {"desktop"}
HOST_LIBRARIES = re.compile(r"^(allegro|xalleg|X11/)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def files_of(layer):
    folder = os.path.join(ROOT, layer)
    return {name for name in os.listdir(folder) if name.endswith((".h", ".cpp", ".h.in"))}


def include_name(name):
    return name[:-3] if name.endswith(".h.in") else name


def problems():
    found = []
    owners = {}
    for layer in LAYERS:
        for name in files_of(layer):
            if include_name(name) in owners:
                found.append("%s is in both %s/ and %s/" % (include_name(name), owners[include_name(name)], layer))
            owners.setdefault(include_name(name), layer)
    for layer in LAYERS:
        allowed = set(BELOW[layer] + [layer])
        for name in sorted(files_of(layer)):
            with open(os.path.join(ROOT, layer, name)) as f:
                text = f.read()
            for kind, header in INCLUDE.findall(text):
                where = "%s/%s includes %s" % (layer, name, header)
                if kind == "<" and HOST_LIBRARIES.match(header) and layer not in ALLEGRO_LAYERS:
                    found.append(where + ", which only desktop/ may")
                elif kind == '"' and owners.get(header) not in allowed:
                    found.append(where + ", from " + str(owners.get(header, "nowhere in the layers")))
    for binary in BINARIES:
        libraries = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
        if "alleg" in libraries or "libX11" in libraries:
            found.append("%s links Allegro or X11:\n%s" % (os.path.basename(binary), libraries))
    return found


if __name__ == "__main__":
    found = problems()
    for p in found:
        print(p)
    print("%d layering problems" % len(found))
    sys.exit(1 if found else 0)
