#!/usr/bin/python3
"""The DNS hosts' engine through --once against tests/peers/dnshosts_peer.py: (a) one name at one provider, (b) three
names at one provider, (c) one name at each of five providers at once. Medians of --runs each: the time from the
decided change to the last success line, and the processor time of the whole process (user + system, from its
rusage); the ratios b/a and c/a, and the processor time the engine adds per name ((b - a) / 2). Each run serves a
new address, so every record really changes. Runs inside a network namespace with only loopback when it can.
Usage: bench/dns_hosts.py [--binary build/tarnwick-ip-vistrel-headless] [--runs 7]
"""
import argparse, json, os, select, shutil, statistics, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from notice_kinds import ROOT, peer

# (provider, API path of its peer, fields, secret as stored, secret as its peer takes it) of the five hosts of (c)
HOSTS = [("cloudflare", "/client/v4", {}, "tok", "tok"),
         ("porkbun", "/api/json/v3", {}, '{"apikey":"pk1_a","secretapikey":"sk1_b"}', "pk1_a:sk1_b"),
         ("digitalocean", "/v2", {}, "tok", "tok"), ("linode", "/v4", {}, "tok", "tok"),
         ("desec", "/api/v1", {}, "tok", "tok")]


def settings(path, source, old, entries):
    values = dict(showHelp=0, addressSources=source, address6Sources="", OldExternal=old, emailNotify=0)
    for n, (provider, api, fields, secret, names) in enumerate(entries, start=1):
        values[f"dnsHost{n}"] = json.dumps({"provider": provider, "on": True, "zone": "example.com", "api": api,
                                            "fields": fields, "names": [{"name": name} for name in names]})
        values[f"dnsHostSecret{n}"] = secret
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), "w") as f:
        f.write("[Settings]\n" + "".join(f"{k}={v}\n" for k, v in values.items()))


def one_run(binary, env, path, expected):
    """Runs --once to its exit; the seconds from the decided change to the last success line, and its processor time."""
    program = subprocess.Popen([binary, "--once", "--config", path], env=env, stdin=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    lines, partial, deadline = [], b"", time.monotonic() + 30
    while select.select([program.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
        chunk = os.read(program.stderr.fileno(), 65536)
        if not chunk:
            break
        partial += chunk
        *whole, partial = partial.split(b"\n")
        lines += [(time.monotonic(), line.decode(errors="replace").split(" ", 1)[-1]) for line in whole]
    _, status, usage = os.wait4(program.pid, 0)
    looked = next((i for i, (_, line) in enumerate(lines) if line.startswith("Looking up your IPs")), None)
    done = [when for when, line in lines if line.startswith("Success: ") and " A 203.0.113." in line]
    if looked is None or len(done) != expected:
        sys.exit("a run did not update every entry:\n" + "\n".join(line for _, line in lines))
    return max(done) - lines[looked + 1][0], usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel-headless"))
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    if os.geteuid() == 0 and not os.environ.get("VISTREL_BENCH_NAMESPACE"):
        os.environ["VISTREL_BENCH_NAMESPACE"] = "1"
        os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0" "$@"', "/usr/bin/python3",
                              os.path.abspath(__file__), "--binary", os.path.abspath(args.binary), "--runs",
                              str(args.runs)])
    work = tempfile.mkdtemp(prefix="vistrel-bench-dnshosts-")
    runtime = os.path.join(work, "run")
    os.makedirs(runtime, mode=0o700)
    web, web_words = peer("nginx_peer.py", "--root", work, "--lifetime", "300")
    apis = [peer("dnshosts_peer.py", "--provider", provider, "--secret", secret, "--lifetime", "300")
            for provider, _, _, _, secret in HOSTS]
    hosts = [(provider, f"http://127.0.0.1:{words['PORT']}{path}", fields, secret)
             for (provider, path, fields, secret, _), (_, words) in zip(HOSTS, apis)]
    source = f"http://127.0.0.1:{web_words['PORT']}/body/ip"
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=runtime, VISTREL_ADDRESS_URL=source,
               VISTREL_ADDRESS_SOURCES=source, VISTREL_ADDRESS6_SOURCES="")
    cases = {"one name at one provider": ([(*hosts[0], ["home"])], 1),
             "three names at one provider": ([(*hosts[0], ["home", "www", "mail"])], 1),
             "one name at each of five providers": ([(*host, ["home"]) for host in hosts], 5)}
    times, cpu = {name: [] for name in cases}, {name: [] for name in cases}
    try:
        number = 0
        for run in range(args.runs + 1):  # the first round warms the peers and the caches up, and is not counted
            for name, (entries, expected) in cases.items():  # taking turns: a slow moment of the machine hits all
                number += 1
                with open(os.path.join(work, "ip"), "w") as f:
                    f.write(f"203.0.113.{10 + number}\n")
                path = os.path.join(work, f"run{number}.conf")
                settings(path, source, f"203.0.113.{9 + number}", entries)
                seconds, processor = one_run(args.binary, env, path, expected)
                if run:
                    times[name].append(seconds)
                    cpu[name].append(processor)
    finally:
        processes = [web] + [process for process, _ in apis]
        for process in processes:
            process.stdin.close()
        for process in processes:
            process.wait(timeout=20)
        shutil.rmtree(work, ignore_errors=True)
    medians = {name: (statistics.median(times[name]) * 1000, statistics.median(cpu[name]) * 1000) for name in cases}
    (a_ms, a_cpu), (b_ms, b_cpu), (c_ms, c_cpu) = medians.values()
    print(f"DNS hosts through --once, medians of {args.runs}: " +
          "; ".join(f"{name} {ms:.1f} ms to the last success, {processor:.0f} ms processor"
                    for name, (ms, processor) in medians.items()))
    print(f"  ratios to one name at one provider: three names {b_ms / a_ms:.2f} (processor {b_cpu / a_cpu:.2f}), "
          f"five providers at once {c_ms / a_ms:.2f} (processor {c_cpu / a_cpu:.2f}); the engine's processor time "
          f"per further name: {(b_cpu - a_cpu) / 2:.1f} ms")


if __name__ == "__main__":
    main()
