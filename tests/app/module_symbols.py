#!/usr/bin/python3
"""Every symbol a kind's module takes from the executables (notify/, core/: not its own library's, not versioned
ones of the system's libraries) is exported by each executable that may load it; else the kind would say it is not
in this build only when first used.   module_symbols.py EXECUTABLE... -- MODULE..."""
import subprocess, sys


def symbols(path, *options):
    out = subprocess.run(["nm", "-D", *options, path], capture_output=True, text=True, check=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.split() and line.split()[-2] not in "wv"}


def main():
    split = sys.argv.index("--")
    executables, modules = sys.argv[1:split], sys.argv[split + 1:]
    libraries = {}
    for module in modules:
        ldd = subprocess.run(["ldd", module], capture_output=True, text=True, check=True).stdout.split()
        direct = subprocess.run(["objdump", "-p", module], capture_output=True, text=True, check=True).stdout.split()
        paths = {ldd[i - 2]: ldd[i] for i in range(2, len(ldd)) if ldd[i - 1] == "=>"}
        own = set().union(*(symbols(paths[name], "--defined-only") for name in direct if name in paths
                            and "Qt6" not in name))
        libraries[module] = {s for s in symbols(module, "--undefined-only") if "@" not in s} - own
    failed = False
    for executable in executables:
        exported = symbols(executable, "--defined-only")
        for module, wanted in libraries.items():
            missing = sorted(wanted - exported)
            print(f"{executable} {module}: {len(wanted)} symbols, missing {missing[:5]}")
            failed |= bool(missing) or not wanted
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
