#!/usr/bin/python3
"""settings_crash.py <settings_hammer> [kills]: kills a process writing settings through the store at random
moments; after each kill the file must parse, be private and hold every key before or after its last write."""
import configparser, os, random, subprocess, sys, tempfile, time

KEYS = 7


def problem(path, latest):
    """What is wrong with the file after a kill (or None), and the latest number it holds."""
    parser = configparser.ConfigParser(interpolation=None)
    try:
        parser.read(path, encoding="utf-8")  # no file yet: nothing written yet
    except (configparser.Error, UnicodeError) as e:
        return f"the file does not parse: {e}", latest
    values = dict(parser["Settings"]) if parser.has_section("Settings") else {}
    numbers = {k: int(v) for k, v in values.items() if k.startswith("hammer")}
    top = max(numbers.values(), default=0)
    if top and values.get("txtbody") != "x" * 100000:
        return "the value written first was lost", top
    # The last KEYS writes are one of each key: key (i mod KEYS) holds the last such i <= top.
    if top < latest or numbers != {f"hammer{i % KEYS}": i for i in range(max(1, top - KEYS + 1), top + 1)}:
        return f"not one complete state after write {latest}: {numbers}", top
    if os.path.exists(path) and os.stat(path).st_mode & 0o777 != 0o600:
        return f"the file's mode is {os.stat(path).st_mode & 0o777:o}", top
    return None, top


def main():
    hammer, kills, rng = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 200, random.Random(20261206)
    path = os.path.join(tempfile.mkdtemp(prefix="vistrel-crash-"), "Tarnwick IP Vistrel.conf")
    latest = 0  # the last number the file holds; each run goes on from there
    for n in range(kills):
        writer = subprocess.Popen([hammer, path, str(KEYS), str(latest + 1)])
        time.sleep(rng.uniform(0.005, 0.08))
        writer.kill()
        writer.wait()
        wrong, latest = problem(path, latest)
        if wrong:
            print(f"kill {n + 1}: {wrong}")
            return 1
    print(f"{kills} kills: the settings file parsed and held one complete state every time\n{kills} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
