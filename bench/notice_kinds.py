#!/usr/bin/python3
"""A change announced by --once, from the decided change to the last kind done, against loopback peers:
(a) mail alone, (b) mail, two web requests, MQTT and DNS UPDATE together. Medians of --runs each, the ratio b/a
(the kinds go out at once when it stays near 1), to the last kind's success line and to the process's exit; each
kind's own time in (b) and how far apart the five started, from their status lines.

The decided change is the arrival of the first status line after the lookup (the watcher starts every kind before
it writes "Finished looking up IPs", so that is the first notifier's line). Every line is timestamped here on
arrival. Peers: smtp_peer.py (aiosmtpd, plain), nginx_peer.py (/hook/, also the address
service), mosquitto_peer.py (plain listener), dns_update_peer.py bind. Each run serves a new address, so the zone
really changes. Prints; exits non-zero only when a run does not deliver.

Runs itself inside a network namespace with only loopback when it can (root), like the tests of the headless modes.
On loopback every peer answers within a millisecond or two, so the figures are mostly the processor time of the
program and the peers on a shared machine; --mail-delay makes the mail server the slow part, as a real one is.
Usage: bench/notice_kinds.py [--binary build/tarnwick-ip-vistrel-headless] [--runs 7] [--mail-delay 0]
"""
import argparse, os, select, shutil, statistics, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PEERS = os.path.join(ROOT, "tests", "peers")
KEY = ("vistrel-key", "c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE=")  # dns_update_peer.py's
# Each kind's "done" line on standard error, matched by its start.
DONE = {
    "mail": "Message Sent",
    "web": "Success: ok",
    "web2": "Success: second: ",
    "mqtt": "Success: MQTT message published",
    "dns": "Success: DNS update: ",
}
# ... and its first line, as it starts.
START = {
    "mail": "Connecting...",
    "web": "Hitting http",
    "web2": "Hitting second: ",
    "mqtt": "Publishing to the MQTT broker",
    "dns": "DNS update: asking",
}


def peer(*args):
    process = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, args[0]), *args[1:]], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    words = process.stdout.readline().split()
    if words[:1] != ["PORT"]:
        sys.exit(f"{args[0]} did not start: {' '.join(words)}")
    return process, dict(zip(words[::2], words[1::2]))


def settings(path, source, ports, all_kinds, old):
    values = dict(showHelp=0, addressSources=source, address6Sources="", OldExternal=old, programNotify=0,
                  emailNotify=1, strServer="127.0.0.1", strPort=ports["mail"], strEmailTo="to@example.test",
                  strEmailFrom="from@example.test", webNotify=0, mqttNotify=0, dnsUpdateNotify=0)
    if all_kinds:
        second = ('{"name":"second","on":true,"method":"POST","url":"http://127.0.0.1:%s/hook/second",'
                  '"bodyType":"text","body":"$ExternalIP$"}' % ports["web"])
        values.update(webNotify=1, strurl=f"http://127.0.0.1:{ports['web']}/hook/first?ip=$ExternalIP$",
                      webRequest2=second, mqttNotify=1, mqttHost="127.0.0.1", mqttPort=ports["mqtt"],
                      mqttUser="alice", mqttPassword="s3cret-Pw", dnsUpdateNotify=1, dnsUpdateServer="127.0.0.1",
                      dnsUpdatePort=ports["dns"], dnsUpdateZone="example.test", dnsUpdateName="home.example.test",
                      dnsUpdateKeyName=KEY[0], dnsUpdateKeySecret=KEY[1])
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:  # it holds passwords
        f.write("[Settings]\n" + "".join(f"{k}={v}\n" for k, v in values.items()))


def timed_lines(command, env, timeout=30):
    """Runs to its exit; each standard error line with its arrival time, the exit time and status."""
    program = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
    lines, partial, deadline = [], b"", time.monotonic() + timeout
    while True:
        if not select.select([program.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
            program.kill()
            break
        chunk = os.read(program.stderr.fileno(), 65536)
        now = time.monotonic()
        if not chunk:
            break
        partial += chunk
        *whole, partial = partial.split(b"\n")
        lines += [(now, line.decode(errors="replace")) for line in whole]
    status = program.wait()
    return lines, time.monotonic(), status


def one_run(binary, env, path, kinds):
    lines, ended, status = timed_lines([binary, "--once", "--config", path], env)
    text = "\n".join(line for _, line in lines)
    # The status lines carry the program's own time stamp first; the text follows it.
    said = [(when, line.split(" ", 1)[-1]) for when, line in lines]
    looked = next((i for i, (_, line) in enumerate(said) if line.startswith("Looking up your IPs")), None)
    if status != 1 or looked is None or looked + 1 >= len(said):
        sys.exit(f"a run did not announce the change (exit {status}):\n{text}")
    # Lines of a logging category ("vistrel.settings: ...") are not the watcher's status.
    decided = next((when for when, line in said[looked + 1:] if not line.startswith("vistrel.")), None)
    if decided is None:
        sys.exit(f"a run did not announce the change:\n{text}")
    done, started = {}, []
    for kind in kinds:
        when = next((w for w, line in said if line.startswith(DONE[kind])), None)
        if when is None:
            sys.exit(f"{kind} was not delivered:\n{text}")
        done[kind] = when - decided
        started.append(next((w for w, line in said if line.startswith(START[kind])), decided))
    return ended - decided, done, max(started) - min(started)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel-headless"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--mail-delay", type=float, default=0.0, help="seconds before each of the mail peer's replies")
    args = parser.parse_args()
    if os.geteuid() == 0 and not os.environ.get("VISTREL_BENCH_NAMESPACE"):
        os.environ["VISTREL_BENCH_NAMESPACE"] = "1"
        os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0" "$@"', "/usr/bin/python3",
                              os.path.abspath(__file__), "--binary", os.path.abspath(args.binary), "--runs",
                              str(args.runs), "--mail-delay", str(args.mail_delay)])

    work = tempfile.mkdtemp(prefix="vistrel-bench-kinds-")
    runtime = os.path.join(work, "run")
    os.makedirs(runtime, mode=0o700)
    mail, words = peer("smtp_peer.py", "--quiet", "--delay", str(args.mail_delay))
    web, web_words = peer("nginx_peer.py", "--root", work, "--lifetime", "300")
    broker, broker_words = peer("mosquitto_peer.py", "--password", "s3cret-Pw", "--lifetime", "300")
    dns, dns_words = peer("dns_update_peer.py", "bind")
    ports = dict(mail=words["PORT"], web=web_words["PORT"], mqtt=broker_words["PORT"], dns=dns_words["PORT"])
    source = f"http://127.0.0.1:{ports['web']}/body/ip"
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=runtime, VISTREL_ADDRESS_URL=source,
               VISTREL_ADDRESS_SOURCES=source, VISTREL_ADDRESS6_SOURCES="")

    cases = {"mail alone": ["mail"], "all five": list(DONE)}
    totals, lasts = {name: [] for name in cases}, {name: [] for name in cases}
    each, spreads = {kind: [] for kind in DONE}, []
    try:
        for run in range(args.runs + 1):  # the first round warms the peers and the caches up, and is not counted
            for name, kinds in cases.items():  # taking turns: a slow moment of the machine hits both
                number = 2 * run + (name != "mail alone")
                with open(os.path.join(work, "ip"), "w") as f:
                    f.write(f"203.0.113.{10 + number}\n")
                path = os.path.join(work, f"run{number}.conf")
                settings(path, source, ports, name == "all five", f"203.0.113.{9 + number}")
                total, done, spread = one_run(args.binary, env, path, kinds)
                if run == 0:
                    continue
                totals[name].append(total)
                lasts[name].append(max(done.values()))
                if name == "all five":
                    spreads.append(spread)
                    for kind, seconds in done.items():
                        each[kind].append(seconds)
    finally:
        for process in (mail, web, broker, dns):
            process.stdin.close()
        for process in (mail, web, broker, dns):
            process.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)

    slow = f", the mail server {args.mail_delay * 1000:.0f} ms before each reply" if args.mail_delay else ""
    for what, times in (("the last kind's success line", lasts), ("the exit", totals)):
        alone, together = (statistics.median(times[name]) * 1000 for name in cases)
        print(f"--once, the decided change to {what}, medians of {args.runs}{slow}: mail alone {alone:.1f} ms; "
              f"mail, two web requests, MQTT and DNS UPDATE {together:.1f} ms; ratio {together / alone:.2f} "
              "(goal < 1.5)")
    print("  each kind done after the decided change (all five, medians): " +
          ", ".join(f"{kind} {statistics.median(times) * 1000:.1f} ms" for kind, times in each.items()) +
          f"; the first to the last of the five started: {statistics.median(spreads) * 1000:.1f} ms")


if __name__ == "__main__":
    main()
