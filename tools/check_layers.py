#!/usr/bin/python3
"""Fails when an include points up or sideways between the layers, when a file outside a platform folder includes an
operating system's header, or when files include each other in a circle. Run from anywhere:
    tools/check_layers.py [source folder]
The layers are in ARCHITECTURE.md; LAYERS below is the same table, bottom up."""

import pathlib
import re
import sys

# Folder -> rank. A file may include files of its own folder and of folders with a lower rank (never the same rank:
# folders side by side do not know each other).
LAYERS = {
    "platform": 0,
    "platform/linux": 1,
    "platform/windows": 1,
    "platform/sockets": 1,  # Berkeley socket code both systems compile, over their own SocketApi.h
    "discovery": 2,
    "router": 2,
    "rtf": 2,
    "metrics": 2,
    "core": 3,
    "history": 3,
    "keyring": 4,
    "notify": 5,
    "secure": 6,
    "mqtt": 6,
    "dnsupdate": 6,
    "dnsapi": 6,
    "widgets": 7,
    "mainwindow": 8,
    "configure": 8,
    "nettools": 8,
    "desktop": 8,
    "historywindow": 8,
    "app": 9,
}
CHECKED_EXTENSIONS = {".cpp", ".h"}
OUTSIDE_LAYERS = {"tests", "fuzz", "bench", "tools", "resources", "deploy", "windows"}
# Headers of an operating system (and of the Secret Service client): only its own platform folder includes them.
OS_HEADER = re.compile(r"^(unistd|fcntl|signal|poll|pwd|dlfcn|ifaddrs|windows|winsock2|ws2tcpip|iphlpapi|netioapi|"
                       r"shellapi|wincred|wincrypt|bcrypt|shlobj|objbase|qt6keychain/keychain|"
                       r"(sys|linux|net|netinet|arpa)/[\w/]+)\.h$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.MULTILINE)


def folder_of(path):
    """The layer folder a file belongs to (its longest matching folder), or None for files outside the layers."""
    parts = path.parent.parts
    for n in range(len(parts), 0, -1):
        folder = "/".join(parts[:n])
        if folder in LAYERS:
            return folder
    return None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    problems = []
    graph = {}  # unit ("core/Settings" for Settings.h and .cpp) -> units it includes
    for top in sorted(root.iterdir()):
        # Every folder of program code is a layer; the tests, fuzz targets, benchmarks and build folders are not.
        if top.is_dir() and top.name not in LAYERS and top.name not in OUTSIDE_LAYERS and not top.name.startswith(
                ("build", ".")) and any(p.suffix in CHECKED_EXTENSIONS for p in top.rglob("*")):
            problems.append(f"{top.name}/: program code in a folder that is not a layer (add it to LAYERS)")
    for path in sorted(p for folder in LAYERS if "/" not in folder for p in (root / folder).rglob("*")):
        relative = path.relative_to(root)
        if path.suffix not in CHECKED_EXTENSIONS:
            continue
        own = folder_of(relative)
        unit = str(relative.with_suffix(""))
        edges = graph.setdefault(unit, set())
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            quote, name = match.groups()
            where = f"{relative}:{text.count(chr(10), 0, match.start()) + 1}"
            if quote == "<":
                if OS_HEADER.match(name) and not own.startswith("platform/"):
                    problems.append(f"{where}: <{name}> is an operating system's header: it belongs in platform/<system>/")
                continue
            target = pathlib.Path(name)
            other = folder_of(target)
            if other is None:
                continue  # generated headers (ProductVersion.h) and the tests' own
            if other != own and LAYERS[other] >= LAYERS[own]:
                side = "up" if LAYERS[other] > LAYERS[own] else "sideways"
                problems.append(f'{where}: "{name}" points {side}: {own}/ may not include {other}/')
            if str(target.with_suffix("")) != unit:
                edges.add(str(target.with_suffix("")))

    # Circles: strongly connected groups of more than one unit (Tarjan's algorithm, iterative).
    index, low, on_stack, stack, circles, counter = {}, {}, set(), [], [], [0]
    for start in graph:
        if start in index:
            continue
        work = [(start, iter(sorted(graph.get(start, ()))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in graph:
                    continue
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                group = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    group.append(member)
                    if member == node:
                        break
                if len(group) > 1:
                    circles.append(sorted(group))
    for group in circles:
        problems.append("include circle: " + " -> ".join(group))

    for problem in problems:
        print(problem)
    print(f"{len(graph)} units in {len(LAYERS)} layer folders checked: "
          + ("no upward or sideways include, no system header above platform/, no circle" if not problems
             else f"{len(problems)} problem(s)"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
