#!/usr/bin/python3
"""Kills a process that writes settings as fast as it can, at random moments, many times over, and
checks after each kill that the settings file parses and holds one complete state: every key has
either its value before the interrupted write or after it, and the settings that were there before
the run are untouched.

Usage: settings_crash.py <settings_hammer> [kills]
"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

KEYS = 7
# A long body makes every write take long enough for kills to land inside it.
ORIGINAL = {"strPassword": "p\u00e4ss w=rd;#, \"q\"", "txtBody": "line one\r\nline two\r\n" + "x" * 100000,
            "strPort": "25"}


def dump(hammer, path):
    result = subprocess.run([hammer, "dump", path], capture_output=True, text=True, timeout=30)
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.splitlines():
        key, _, value = line.partition("=")
        values[key] = value
    return values


def check(values, before):
    """One complete state: the largest written number m, and for every key the last i <= m of its class."""
    if values is None:
        return "the file does not parse"
    for key, value in ORIGINAL.items():
        expected = value.replace("\r", "\\r").replace("\n", "\\n")
        if values.get(key) != expected:
            return f"{key} lost: {values.get(key)!r}"
    numbers = {k: int(v) for k, v in values.items() if k.startswith("hammer")}
    if not numbers:
        return None if before == 0 else "every written value vanished"
    top = max(numbers.values())
    if top < before:
        return f"went back in time: {top} < {before}"
    for k in range(KEYS):
        candidates = [i for i in range(max(1, top - KEYS + 1), top + 1) if i % KEYS == k]
        expected = candidates[0] if candidates else None
        got = numbers.get(f"hammer{k}")
        if got != expected:
            return f"hammer{k} = {got}, expected {expected} (latest write {top})"
    return None


def main():
    hammer = sys.argv[1]
    kills = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    rng = random.Random(20261206)
    home = tempfile.mkdtemp(prefix="vistrel-crash-")
    path = os.path.join(home, "Tarnwick IP Vistrel.conf")
    with open(path, "w", encoding="utf-8") as f:
        f.write("[Settings]\n")
    os.chmod(path, 0o600)
    # The settings a user already had, written by the store itself.
    for key, value in ORIGINAL.items():
        subprocess.run([hammer, "set", path, key, value], check=True)
    problem = check(dump(hammer, path), 0)
    if problem:
        print(f"could not seed the settings file: {problem}")
        return 1
    latest = 0  # the last number the file holds; each run goes on from there
    for n in range(kills):
        proc = subprocess.Popen([hammer, "write", path, str(KEYS), str(latest + 1)], stdout=subprocess.DEVNULL)
        time.sleep(rng.uniform(0.005, 0.08))
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        values = dump(hammer, path)
        problem = check(values, latest)
        if problem:
            print(f"kill {n + 1}: {problem}")
            with open(path, "rb") as f:
                print(f.read()[:2000])
            return 1
        if os.stat(path).st_mode & 0o777 != 0o600:
            print(f"kill {n + 1}: mode changed to {oct(os.stat(path).st_mode & 0o777)}")
            return 1
        latest = max([int(v) for k, v in values.items() if k.startswith("hammer")], default=latest)
    leftovers = [name for name in os.listdir(home) if name != os.path.basename(path)]
    print(f"{kills} kills, the settings file parsed and held one complete state every time;"
          f" stray files left behind: {len(leftovers)}")
    print(f"{kills} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
