#!/usr/bin/python3
"""Time from an address change on an interface to the end of the lookup it starts.

Runs in a network namespace of its own (it re-starts itself under `unshare -n`; needs root or a
user namespace), with nginx on the namespace's loopback as two address sources that must agree.
Each round adds an address to a veth interface and waits for the program's "Finished looking up IPs".

Usage: bench/network_change.py [--binary build/tarnwick-ip-vistrel] [--rounds 5]
"""
import argparse
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FINISHED = b"Finished looking up IPs"


def wait_for_line(program, buffered, needle, seconds):
    """Reads the program's log until @needle appears after what was read before; returns (time, rest)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        ready, _, _ = select.select([program.stderr], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            continue
        chunk = os.read(program.stderr.fileno(), 65536)
        if not chunk:
            break
        buffered += chunk
        if needle in buffered:
            return time.monotonic(), buffered.split(needle, 1)[1]
    return None, buffered


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel"))
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    if os.environ.get("VISTREL_BENCH_NETNS") != "1":
        os.environ["VISTREL_BENCH_NETNS"] = "1"
        os.execvp("unshare", ["unshare", "-n", sys.executable, os.path.abspath(__file__)] + sys.argv[1:])

    for command in ("link set lo up", "link add v0 type veth peer name v1", "link set v0 up", "link set v1 up"):
        subprocess.run(["ip"] + command.split(), check=True)
    body_root = tempfile.mkdtemp(prefix="vistrel-bench-")
    for name in ("a", "b"):
        with open(os.path.join(body_root, name), "w") as f:
            f.write("203.0.113.1\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"),
                              "--root", body_root, "--lifetime", "120"],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready = nginx.stdout.readline().split()
    if not ready or ready[0] != "PORT":
        sys.exit("nginx did not start")
    port = ready[1]
    config = tempfile.mkdtemp(prefix="vistrel-bench-config-")
    with open(os.path.join(config, "Tarnwick IP Vistrel.conf"), "w") as f:
        f.write("[Settings]\nshowHelp=0\n")  # auto refresh off: only the change starts a lookup
    # Two servers (nginx listens on 127.0.0.1 and 127.0.0.2): agreement counts servers, not list entries.
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config,
               VISTREL_ADDRESS_SOURCES=f"http://127.0.0.1:{port}/body/a http://127.0.0.2:{port}/body/b",
               QT_LOGGING_RULES="vistrel.status.info=true")
    program = subprocess.Popen([args.binary], env=env, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    done, rest = wait_for_line(program, b"", FINISHED, 30)
    if done is None:
        program.kill()
        sys.exit("the first lookup never finished:\n" + rest.decode(errors="replace"))
    time.sleep(1.0)

    times = []
    for round_ in range(args.rounds):
        _, rest = wait_for_line(program, rest, b"\0", 0.2)  # drain what came meanwhile
        changed = time.monotonic()
        subprocess.run(["ip", "addr", "add", f"192.0.2.{10 + round_}/24", "dev", "v0"], check=True)
        done, rest = wait_for_line(program, b"", FINISHED, 10)
        if done is None:
            program.kill()
            sys.exit(f"no lookup after address change {round_ + 1}")
        times.append((done - changed) * 1000)
        time.sleep(1.0)
    program.terminate()
    program.wait(timeout=10)
    nginx.stdin.close()
    nginx.wait(timeout=10)
    print(f"address change to the lookup's end: median {statistics.median(times):.0f} ms, "
          f"worst {max(times):.0f} ms over {len(times)} changes (goal < 1500 ms)")


if __name__ == "__main__":
    main()
