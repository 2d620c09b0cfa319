#!/usr/bin/python3
"""long_run.py [--binary B] [--minutes 10]: the program's test build (build/testing/, with the test hooks) looks up
every 5 s against the fault peer's schedule (two addresses, "error", HTML, refusal, 10 MiB, hang) and a mail server
that accepts, rejects, stalls and closes in turn, all notifications on. Passes when every served change gave one
mail attempt, URL request and program start, memory grew at most 2 MiB after warm-up, and the event loop never
stalled 100 ms (the test probe)."""
import argparse, os, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
SLOT = 5.0
FAULTS = ["error", "html", "refuse", "big", "hang"]


def schedule(minutes):
    """A, A, then blocks of 8 slots alternating B and A with one fault each; at least 40 s after each change."""
    slots, total = ["A", "A"], max(int(minutes * 60 / SLOT), 12)
    for k in range((total - 2) // 8):
        slots += ["BA"[k % 2]] * 3 + [FAULTS[k % len(FAULTS)]] + ["BA"[k % 2]] * 4
    return slots + [slots[-1]] * (total - len(slots))


def start_peer(script, *args):
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "..", "peers", script), *args],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready = process.stdout.readline().split()
    return (process, ready) if ready[:1] == ["PORT"] else sys.exit(f"{script} did not start")


def lines(path):
    return [line.split() for line in open(path) if line.strip()] if os.path.exists(path) else []


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(HERE, "..", "..", "build", "testing", "tarnwick-ip-vistrel"))
    parser.add_argument("--minutes", type=float, default=10.0)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-long-run-")
    served_log, mail_log, record, probe = (os.path.join(work, name) for name in ("served", "mail", "program", "probe"))
    slots = schedule(args.minutes)
    lifetime = str(len(slots) * SLOT + 120)
    address, (_, address_port, *_) = start_peer("chaos_address_peer.py", "--slot", str(SLOT), "--schedule",
                                                ",".join(slots), "--log", served_log, "--lifetime", lifetime)
    mail, (_, mail_port, *_) = start_peer("smtp_peer.py", "--cycle", "accept,reject,stall,close", "--log", mail_log,
                                          "--quiet", "--user", "u", "--password", "p", "--lifetime", lifetime)
    nginx, ready = start_peer("nginx_peer.py", "--root", work, "--lifetime", lifetime)
    with open(os.open(os.path.join(work, "Tarnwick IP Vistrel.conf"), os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
        f.write(f"[Settings]\nrefresh=1\nshowHelp=0\nemailNotify=1\nwebNotify=1\nprogramNotify=1\nstrServer=127.0.0.1\n"
                f"strPort={mail_port}\nstrEmailTo=owner@example.test\nstrEmailFrom=ip@example.test\nchkAuth=1\n"
                f"strUsername=u\nstrPassword=p\nstrURL=http://127.0.0.1:{ready[1]}/hook/?ext=$ExternalIP$\n"
                f"strProg={HERE}/record_change.sh\nstrCommands=$External$ $Internal$\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=work, VISTREL_LONG_RUN_RECORD=record,
               VISTREL_ADDRESS_URL=f"http://127.0.0.1:{address_port}/extras/GetExternalIP.asp",
               VISTREL_TEST_REFRESH_SECONDS=str(int(SLOT)), VISTREL_TEST_PROBE=probe)
    program = subprocess.Popen([args.binary], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=open(os.path.join(work, "program.err"), "w"))
    time.sleep(len(slots) * SLOT)
    alive = program.poll() is None
    program.terminate()
    program.wait(timeout=10)
    hooks = [line for line in lines(ready[3]) if line[0].startswith("/hook/")]  # before nginx removes its log
    for peer in (address, mail, nginx):
        peer.stdin.close()
        peer.wait(timeout=15)

    served = [line[2] for line in lines(served_log) if line[1] in ("A", "B")]
    changes = sum(1 for a, b in zip(served, served[1:]) if a != b)
    samples = [(int(line[1]), int(line[2])) for line in lines(probe) if line[0] == "probe"] or [(-1, 0)]
    growth, stall = samples[-1][1] - samples[min(6, len(samples) - 1)][1], max(s[0] for s in samples[1:] or samples)
    counts = {"mail attempts": len(lines(mail_log)), "URL requests": len(hooks), "program starts": len(lines(record))}
    print(f"served: {' '.join(line[1] for line in lines(served_log))}; {changes} changes; {counts}; "
          f"mail outcomes {[line[3] for line in lines(mail_log)]}; memory growth after warm-up {growth / 1024:+.2f} MiB"
          f" (goal <= 2); worst event-loop stall {stall} ms over {len(samples)} probes (goal < 100); files in {work}")
    problems = [f"{name}: {count}, expected {changes}" for name, count in counts.items() if count != changes]
    problems += ["the program died during the run"] * (not alive) + ["no change was served"] * (changes == 0)
    problems += ["memory grew by more than 2 MiB"] * (growth > 2048) + [f"stalled {stall} ms"] * (not 0 <= stall < 100)
    print("".join(f"FAIL: {p}\n" for p in problems) + f"{int(not problems)} passed, {int(bool(problems))} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
