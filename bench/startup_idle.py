#!/usr/bin/python3
"""Start-up time, peak memory and idle processor time of the program against a local nginx.

Reports, on the offscreen platform:
  - time from process start to the first lookup's "Finished looking up IPs";
  - peak resident memory (VmHWM) at the end of the run;
  - processor time (user + system) used while idling with auto refresh at one minute.

Usage: bench/startup_idle.py [--binary build/tarnwick-ip-vistrel] [--idle 120]
"""
import argparse
import os
import select
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def clock_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel"))
    parser.add_argument("--idle", type=float, default=120.0)
    args = parser.parse_args()

    body_root = tempfile.mkdtemp(prefix="vistrel-bench-")
    # The address service would answer 127.0.0.1, which is no public address; a file answers one that is.
    with open(os.path.join(body_root, "ip"), "w") as f:
        f.write("203.0.113.1\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"),
                              "--root", body_root, "--lifetime", str(args.idle + 120)],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready = nginx.stdout.readline().split()
    if not ready or ready[0] != "PORT":
        sys.exit("nginx did not start")
    port = ready[1]

    config = tempfile.mkdtemp(prefix="vistrel-bench-config-")
    with open(os.path.join(config, "Tarnwick IP Vistrel.conf"), "w") as f:
        f.write("[Settings]\nrefresh=1\nrefreshrate=0\nshowHelp=0\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config,
               VISTREL_ADDRESS_URL=f"http://127.0.0.1:{port}/body/ip",
               QT_LOGGING_RULES="vistrel.status.info=true")

    started = time.monotonic()
    program = subprocess.Popen([args.binary], env=env, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    finished = None
    buffered = b""
    while time.monotonic() - started < 30:
        ready, _, _ = select.select([program.stderr], [], [], 1.0)
        if not ready:
            continue
        chunk = os.read(program.stderr.fileno(), 4096)
        if not chunk:
            break
        buffered += chunk
        if b"Finished looking up IPs" in buffered:
            finished = time.monotonic()
            break
    if finished is None:
        program.kill()
        sys.exit("the first lookup never finished:\n" + buffered.decode(errors="replace"))

    # Let start-up settle, then measure an idle stretch (one automatic lookup a minute).
    time.sleep(2)
    before = clock_ticks(program.pid)
    idle_started = time.monotonic()
    deadline = idle_started + args.idle
    while time.monotonic() < deadline:
        # Drain the status log so the program never blocks on a full pipe.
        ready, _, _ = select.select([program.stderr], [], [], deadline - time.monotonic())
        if ready:
            os.read(program.stderr.fileno(), 65536)
    used = (clock_ticks(program.pid) - before) / os.sysconf("SC_CLK_TCK")
    peak = peak_rss_kib(program.pid)
    program.terminate()
    program.wait(timeout=10)
    nginx.stdin.close()
    nginx.wait(timeout=10)

    print(f"start to first 'Finished looking up IPs': {(finished - started) * 1000:.0f} ms (goal < 400 ms)")
    print(f"peak resident memory: {peak / 1024:.1f} MiB (goal < 60 MiB)")
    print(f"processor time over {args.idle:.0f} s idle with auto refresh at 1 minute: {used:.2f} s (goal < 0.2 s)")


if __name__ == "__main__":
    main()
