#!/usr/bin/python3
"""The long run: the program runs for --minutes with its refresh interval shortened to 5 s (a test
hook), against an address service that in turn answers correctly, changes the address, answers
"error", an HTML page, hangs, refuses connections and sends 10 MiB, and a mail server that in turn
accepts, rejects, stalls and closes. All three notifications are on.

It checks and reports:
  - every change of the served address gave exactly one mail attempt, one URL request and one
    program start;
  - resident memory after warm-up grew by no more than 2 MiB;
  - the event loop never stalled for 100 ms or more (the program's test probe measures it).
Exit status 0 when all hold.

Usage: tests/reliability/long_run.py [--binary build/tarnwick-ip-vistrel] [--minutes 10]
"""
import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PEERS = os.path.join(ROOT, "tests", "peers")
SLOT = 5.0
FAULTS = ["error", "html", "refuse", "big", "hang"]


def schedule(minutes):
    """Blocks of eight slots with one address, the addresses taking turns, one fault in each block;
    the last minute holds still so that the last change's notifications can finish."""
    slots = []
    blocks = int(minutes * 60 / SLOT / 8) - 1
    for k in range(max(blocks, 1)):
        base = "A" if k % 2 == 0 else "B"
        block = [base] * 8
        block[3] = FAULTS[k % len(FAULTS)]
        slots += block
    slots += [slots[-1] if slots[-1] in "AB" else "A"] * 14
    return slots


def start_peer(script, *args):
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, script), *args],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready = process.stdout.readline().split()
    if len(ready) < 2 or ready[0] != "PORT":
        sys.exit(f"{script} did not start")
    return process, ready


def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.split() for line in f if line.strip()]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel"))
    parser.add_argument("--minutes", type=float, default=10.0)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-long-run-")
    served_log = os.path.join(work, "served.log")
    mail_log = os.path.join(work, "mail.log")
    record = os.path.join(work, "program.log")
    probe = os.path.join(work, "probe.log")
    slots = schedule(args.minutes)
    duration = len(slots) * SLOT
    lifetime = str(duration + 120)

    address, ready = start_peer("chaos_address_peer.py", "--slot", str(SLOT), "--schedule", ",".join(slots),
                                "--log", served_log, "--lifetime", lifetime)
    address_port = ready[1]
    mail, ready = start_peer("smtp_peer.py", "--cycle", "accept,reject,stall,close", "--log", mail_log, "--quiet",
                             "--user", "u", "--password", "p", "--lifetime", lifetime)
    mail_port = ready[1]
    body_root = os.path.join(work, "www")
    os.mkdir(body_root)
    nginx, ready = start_peer("nginx_peer.py", "--root", body_root, "--lifetime", lifetime)
    nginx_port, access_log = ready[1], ready[3]

    config = os.path.join(work, "config")
    os.mkdir(config)
    with open(os.path.join(config, "Tarnwick IP Vistrel.conf"), "w") as f:
        f.write("[Settings]\nrefresh=1\nrefreshrate=0\nshowHelp=0\nemailNotify=1\nwebNotify=1\nprogramNotify=1\n"
                f"strServer=127.0.0.1\nstrPort={mail_port}\nstrEmailTo=owner@example.test\n"
                "strEmailFrom=ip@example.test\nchkAuth=1\nstrUsername=u\nstrPassword=p\n"
                f"strURL=http://127.0.0.1:{nginx_port}/hook/?ext=$ExternalIP$\n"
                f"strProg={os.path.join(HERE, 'record_change.sh')}\nstrCommands=$External$ $Internal$\n")
    os.chmod(os.path.join(config, "Tarnwick IP Vistrel.conf"), 0o600)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config,
               VISTREL_ADDRESS_URL=f"http://127.0.0.1:{address_port}/extras/GetExternalIP.asp",
               VISTREL_TEST_REFRESH_SECONDS=str(int(SLOT)), VISTREL_TEST_PROBE=probe,
               VISTREL_LONG_RUN_RECORD=record)
    program = subprocess.Popen([args.binary], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(work, "program.err"), "w"))
    print(f"running for {duration:.0f} s; files in {work}", flush=True)
    time.sleep(duration)
    alive = program.poll() is None
    program.send_signal(signal.SIGTERM)
    try:
        program.wait(timeout=10)
    except subprocess.TimeoutExpired:
        program.kill()
    # nginx's log goes with its work folder when it stops: read it first.
    hooks = []
    if os.path.exists(access_log):
        with open(access_log) as f:
            hooks = [line for line in f if line.startswith("/hook/")]
    for peer in (address, mail, nginx):
        peer.stdin.close()
        peer.wait(timeout=15)

    served = [line[2] for line in read_lines(served_log) if line[1] in ("A", "B")]
    changes = sum(1 for a, b in zip(served, served[1:]) if a != b)
    faults = {}
    for line in read_lines(served_log):
        faults[line[1]] = faults.get(line[1], 0) + 1
    mails = read_lines(mail_log)
    mail_outcomes = {}
    for line in mails:
        mail_outcomes[line[3]] = mail_outcomes.get(line[3], 0) + 1
    programs = read_lines(record)
    samples = [(int(line[1]), int(line[2])) for line in read_lines(probe) if line[0] == "probe"]
    warm = samples[6:] if len(samples) > 7 else samples
    worst_stall = max((late for late, _ in samples[1:]), default=-1)
    rss_start = warm[0][1] if warm else 0
    rss_end = samples[-1][1] if samples else 0

    print(f"responses served: {faults}")
    print(f"address changes served: {changes}")
    print(f"mail attempts: {len(mails)} {mail_outcomes}")
    print(f"URL requests: {len(hooks)}")
    print(f"program starts: {len(programs)}")
    print(f"resident memory after warm-up: {rss_start / 1024:.1f} MiB, at the end: {rss_end / 1024:.1f} MiB "
          f"(growth {(rss_end - rss_start) / 1024:+.2f} MiB, goal <= 2 MiB)")
    print(f"worst event-loop stall: {worst_stall} ms over {len(samples)} probes (goal < 100 ms)")
    problems = []
    if not alive:
        problems.append("the program died during the run")
    if changes == 0:
        problems.append("no change was ever served")
    for name, count in (("mail attempts", len(mails)), ("URL requests", len(hooks)), ("program starts", len(programs))):
        if count != changes:
            problems.append(f"{name}: {count}, expected {changes}")
    if rss_end - rss_start > 2048:
        problems.append("memory grew by more than 2 MiB")
    if worst_stall < 0 or worst_stall >= 100:
        problems.append(f"event loop stalled {worst_stall} ms")
    for problem in problems:
        print("FAIL: " + problem)
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
