#!/usr/bin/env python3
"""Checks the rooms. Each folder may include only itself and the ones below
it: core/ (the processor), machine/ (the ZX81 as pure emulation), formats/
(pure file-format and text code), host/ (what touches the operating system)
and gdb/ (the debugger stub) beside it, then headless/ (the ZX81 in a
script) and desktop/ (the Allegro program). Only desktop/ includes Allegro
or X11. core/, machine/ and formats/ make no host calls: no files, sockets,
threads, clocks or printing. No module (a .h and its .cpp) reaches itself
through the modules it includes. The test binaries given after the source
folder link neither Allegro nor X11."""
import os
import re
import subprocess
import sys

ROOT, BINARIES = sys.argv[1], sys.argv[2:]
LAYERS = ["core", "machine", "formats", "host", "gdb", "headless", "desktop"]
# What each layer may include besides itself.
BELOW = {
    "core": [],
    "machine": ["core"],
    "formats": ["core", "machine"],
    "host": ["core", "machine", "formats"],
    "gdb": ["core", "machine"],
    "headless": ["core", "machine", "formats", "host", "gdb"],
    "desktop": ["core", "machine", "formats", "host", "gdb", "headless"],
}
ALLEGRO_LAYERS = {"desktop"}
PURE_LAYERS = {"core", "machine", "formats"}
HOST_LIBRARIES = re.compile(r"^(allegro|xalleg|X11/)")
# What a pure layer may not include, and may not call.
HOST_HEADERS = re.compile(
    r"^(fstream|iostream|thread|mutex|condition_variable|chrono|filesystem|csignal|signal\.h|pthread\.h|"
    r"fcntl\.h|unistd\.h|sys/.*|netinet/.*|arpa/.*|sndfile\.h|png\.h|ini\.h|alsa/.*)$")
HOST_CALLS = re.compile(
    r"\b(fopen|fread|fwrite|fclose|printf|fprintf|puts|fputs|getenv|socket|sleep|usleep|steady_clock|"
    r"system_clock|std::cout|std::cerr|std::thread)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
COMMENT = re.compile(r"//[^\n]*|/\*.*?\*/", re.S)
STRING = re.compile(r'"(?:\\.|[^"\\])*"')


def files_of(layer):
    folder = os.path.join(ROOT, layer)
    return {name for name in os.listdir(folder) if name.endswith((".h", ".cpp", ".h.in"))}


def include_name(name):
    return name[:-3] if name.endswith(".h.in") else name


def module_of(name):
    return include_name(name).rsplit(".", 1)[0]


def cycles(edges):
    """The groups of modules that reach themselves (Tarjan's algorithm)."""
    index, low, stack, on_stack, found, counter = {}, {}, [], set(), [], [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in edges.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def problems():
    found = []
    owners = {}
    for layer in LAYERS:
        for name in files_of(layer):
            if include_name(name) in owners:
                found.append("%s is in both %s/ and %s/" % (include_name(name), owners[include_name(name)], layer))
            owners.setdefault(include_name(name), layer)
    edges = {}
    for layer in LAYERS:
        allowed = set(BELOW[layer] + [layer])
        for name in sorted(files_of(layer)):
            with open(os.path.join(ROOT, layer, name)) as f:
                text = f.read()
            module = "%s/%s" % (layer, module_of(name))
            for kind, header in INCLUDE.findall(text):
                where = "%s/%s includes %s" % (layer, name, header)
                if kind == "<" and HOST_LIBRARIES.match(header) and layer not in ALLEGRO_LAYERS:
                    found.append(where + ", which only desktop/ may")
                elif kind == "<" and layer in PURE_LAYERS and HOST_HEADERS.match(header):
                    found.append(where + ", a host call %s/ may not make" % layer)
                elif kind == '"' and owners.get(header) not in allowed:
                    found.append(where + ", from " + str(owners.get(header, "nowhere in the layers")))
                elif kind == '"':
                    target = "%s/%s" % (owners[header], module_of(header))
                    if target != module:
                        edges.setdefault(module, set()).add(target)
            if layer in PURE_LAYERS:
                code = STRING.sub('""', COMMENT.sub("", text))
                for call in sorted(set(HOST_CALLS.findall(code))):
                    found.append("%s/%s calls %s, a host call %s/ may not make" % (layer, name, call, layer))
    for group in cycles(edges):
        found.append("modules that include each other: " + " -> ".join(group))
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
