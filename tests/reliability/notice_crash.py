#!/usr/bin/python3
"""notice_crash.py <headless binary> [changes]: nginx serves a new address before each round; `--once` (a web notice
to nginx) is killed at a random moment of the later part of its run, then run again to its end. After that run every
change must have been requested from nginx with its address, nothing may be left pending, and no temporary file of
the settings may be left beside them."""
import glob, os, random, re, subprocess, sys, tempfile, time

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")


def main():
    binary, changes, rng = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 60, random.Random(20261207)
    work = tempfile.mkdtemp(prefix="vistrel-notice-crash-")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, "nginx_peer.py"), "--root", work],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    words = nginx.stdout.readline().split()
    if words[:1] != ["PORT"]:
        return "nginx did not start"
    url, log = f"http://127.0.0.1:{words[1]}/body/ip", words[3]
    path = os.path.join(work, "crash.conf")
    with open(path, "w") as f:
        f.write(f"[Settings]\nshowHelp=0\nemailNotify=0\nprogramNotify=0\nwebNotify=1\nOldExternal=198.51.100.1\n"
                f"strURL=http://127.0.0.1:{words[1]}/hook/?ip=$ExternalIP$\naddressSources={url}\naddress6Sources=\n")
    env = dict(os.environ, VISTREL_ADDRESS_SOURCES=url, VISTREL_ADDRESS_URL=url, XDG_DATA_HOME=work)
    once = [binary, "--once", "--config", path]
    took, saved_unsent = 0.2, 0
    for n in range(changes):
        address = f"203.0.113.{n + 1}"
        with open(os.path.join(work, "ip"), "w") as f:
            f.write(address + "\n")
        victim = subprocess.Popen(once, env=env, stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0.4, 1.0) * took)  # the later part: the lookup's end and the notices
        victim.kill()
        victim.wait()
        stored = re.search(r"^OldExternal=(.*)$", open(path).read(), re.M)
        sent = f"/hook/?ip={address}\t" in open(log).read()
        saved_unsent += bool(stored and stored.group(1) == address and not sent)
        started = time.monotonic()
        result = subprocess.run(once, env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=30)
        took = max(0.05, time.monotonic() - started)  # the next kill falls within a whole run
        settings = open(path).read()
        problems = [f"exit status {result.returncode}"] * (result.returncode not in (0, 1))
        problems += [f"{address} was never requested"] * (f"/hook/?ip={address}\t" not in open(log).read())
        problems += [f"left pending: {line}" for line in re.findall(r"^pendingNotices=.+$", settings, re.M)]
        problems += [f"left behind: {name}" for name in glob.glob(glob.escape(path) + ".tmp-??????")]
        if problems:
            nginx.stdin.close()
            print(f"change {n + 1}: " + "; ".join(problems) + "\n" + result.stderr)
            return 1
    nginx.stdin.close()
    nginx.wait(timeout=15)
    print(f"{changes} changes, each run killed once ({saved_unsent} killed after the address was stored and before "
          f"its notice went out): every change was requested\n{changes} passed, 0 failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
