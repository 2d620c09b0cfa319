#!/usr/bin/python3
"""The machine's own IPv6 addresses from real router advertisements. Run inside `unshare -n`: this namespace is the
host, a second one (a child process's) the router, a veth pair between them; radvd advertises prefixes from the
router (a new set of prefixes: its configuration written anew and reloaded), the kernel forms a stable (EUI-64) and a
temporary address from each. The address sources (chaos_address_peer)
and named (dns_update_peer.py) listen on 127.0.0.1 here. Checks, with --once: the stable address and the prefix are
shown and told from the temporary one; a new temporary address changes nothing; a renumbering notifies once and
updates this machine's name and "prefix + ::10" for another host. Then the window (offscreen) shows them.
Usage: ipv6_renumber_test.py BINARY WINDOW_TEST."""
import ctypes, json, os, signal, subprocess, sys, tempfile, time

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")
BINARY, WINDOW_TEST = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
WORK = tempfile.mkdtemp(prefix="vistrel-ipv6-")
SECRET = "c2VjcmV0LWtleS1mb3ItdmlzdHJlbC10ZXN0cy0wMDE="
RUNNING = []
RADVD = []


def check(ok, what, detail=""):
    if not ok:
        for process in RUNNING:
            process.kill()
        sys.exit(f"FAIL: {what}\n{detail}")


def sh(*command, netns=None):
    prefix = ["nsenter", "-t", str(netns), "-n"] if netns else []
    subprocess.run(prefix + list(command), check=True, capture_output=True)


def sysctl(name, value, netns=None):
    sh("sysctl", "-qw", f"{name}={value}", netns=netns)


def dies_with_test():
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG: a peer never outlives the test


def started(command, ready):
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                               preexec_fn=dies_with_test)
    RUNNING.append(process)
    words = process.stdout.readline().split()
    check(words[:1] == [ready], f"{command[-2:]} starts", " ".join(words))
    return process, words


def addresses():
    """The global addresses of veth0: {address: "stable" | "temporary" | "deprecated"}."""
    shown = json.loads(subprocess.run(["ip", "-6", "-j", "addr", "show", "dev", "veth0", "scope", "global"],
                                      capture_output=True, text=True, check=True).stdout)
    found = {}
    for info in (i for i in (shown[0]["addr_info"] if shown else []) if "local" in i):
        found[info["local"]] = ("deprecated" if info.get("deprecated") or info.get("preferred_life_time") == 0
                                else "temporary" if info.get("temporary") else "stable")
    return found


def advertise(router_ns, prefixes, wanted):
    """radvd advertises @p prefixes ("PREFIX/64 PREFERRED VALID", apart by ";") at once: started with them the first
    time, reloaded (SIGHUP: it advertises anew) after."""
    conf, pidfile = os.path.join(WORK, "radvd.conf"), os.path.join(WORK, "radvd.pid")
    with open(conf, "w") as f:
        f.write("interface veth1 {\n AdvSendAdvert on;\n MinRtrAdvInterval 30;\n MaxRtrAdvInterval 100;\n")
        for text in prefixes.split(";"):
            network, preferred, valid = text.split()
            f.write(f" prefix {network} {{ AdvPreferredLifetime {preferred}; AdvValidLifetime {valid}; }};\n")
        f.write("};\n")
    if not RADVD:
        RADVD.append(subprocess.Popen(["nsenter", "-t", str(router_ns.pid), "-n", "radvd", "--nodaemon", "-C", conf,
                                       "-p", pidfile, "-m", "stderr"], preexec_fn=dies_with_test))
        RUNNING.append(RADVD[0])
    else:
        RADVD[0].send_signal(signal.SIGHUP)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        found = addresses()
        if wanted(found):
            return found
        time.sleep(0.1)
    check(False, f"the kernel forms the addresses of {prefixes}", repr(addresses()))


def only(found, kind, prefix):
    matches = [a for a, k in found.items() if k == kind and a.startswith(prefix)]
    return matches[0] if len(matches) == 1 else None


def once(config, seen6):
    source6, words = started(["/usr/bin/python3", os.path.join(PEERS, "chaos_address_peer.py"), "--step",
                              f"text:{seen6}"], "PORT")
    url6 = f"http://127.0.0.1:{words[1]}/ip"
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(XDG_CONFIG_HOME=os.path.join(WORK, "home"), VISTREL_ADDRESS_URL=URL4, VISTREL_ADDRESS_SOURCES=URL4,
               VISTREL_ADDRESS6_SOURCES=url6)
    result = subprocess.run([BINARY, "--once", "--config", config], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=30)
    source6.stdin.close()
    return result.returncode, result.stderr, url6, env


def dig(port, name):
    return subprocess.run(["dig", "@127.0.0.1", "-p", port, "+short", name, "AAAA"], capture_output=True,
                          text=True).stdout.strip()


def main():
    global URL4
    sh("ip", "link", "set", "lo", "up")
    router_ns = subprocess.Popen(["unshare", "-n", "sleep", "120"], preexec_fn=dies_with_test)  # the router's namespace lives as long as it
    RUNNING.append(router_ns)
    time.sleep(0.1)
    for netns in (router_ns.pid, None):
        sysctl("net.ipv6.conf.default.accept_dad", 0, netns)  # no wait for duplicate address detection
    sysctl("net.ipv6.conf.all.forwarding", 1, router_ns.pid)  # a router: radvd advertises only then
    sysctl("net.ipv6.conf.default.use_tempaddr", 2)
    sysctl("net.ipv6.conf.default.addr_gen_mode", 0)  # EUI-64
    sh("ip", "link", "add", "veth0", "address", "02:00:5e:10:00:01", "type", "veth", "peer", "name", "veth1",
       "netns", str(router_ns.pid))
    sysctl("net.ipv6.conf.veth0.accept_ra", 1)
    sh("ip", "link", "set", "veth0", "up")
    sh("ip", "link", "set", "veth1", "up", netns=router_ns.pid)
    dns, words = started(["/usr/bin/python3", os.path.join(PEERS, "dns_update_peer.py"), "bind"], "PORT")
    dns_port = words[1]
    source4, words = started(["/usr/bin/python3", os.path.join(PEERS, "chaos_address_peer.py")], "PORT")
    URL4 = f"http://127.0.0.1:{words[1]}/ip"
    marker = os.path.join(WORK, "notices")
    config = os.path.join(WORK, "vistrel.conf")
    names = json.dumps([{"name": "home"}, {"name": "nas", "ipv4": False, "iid": "::10"}])
    with open(config, "w") as f:
        f.write("[Settings]\n" + "".join(f"{k}={v}\n" for k, v in dict(
            showHelp=0, addressSources=URL4, address6Sources="", addressQuorum=1, programNotify=1, strProg="/bin/sh",
            strCommands=f"-c 'echo $IPv6Prefix$ >> {marker}'", dnsUpdateNotify=1, dnsUpdateServer="127.0.0.1",
            dnsUpdatePort=dns_port, dnsUpdateZone="example.test", dnsUpdateName=names,
            dnsUpdateKeyName="vistrel-key", dnsUpdateKeySecret=SECRET).items()))

    print("a prefix: the stable address and the prefix shown, the temporary one told apart")
    found = advertise(router_ns, "2001:db8:1::/64 14400 86400",
                      lambda f: only(f, "stable", "2001:db8:1:") and only(f, "temporary", "2001:db8:1:"))
    stable1, temporary1 = only(found, "stable", "2001:db8:1:"), only(found, "temporary", "2001:db8:1:")
    check(stable1 == "2001:db8:1::5eff:fe10:1", "the EUI-64 address of 02:00:5e:10:00:01", repr(found))
    status, err, _, _ = once(config, temporary1)
    check(status == 0 and f"Internal IPv6: {stable1} (2001:db8:1::/64); the internet sees a temporary address" in err,
          "--once shows the stable address and the prefix", f"{status}\n{err}")

    print("a new temporary address: no change, no notice")
    sh("ip", "addr", "del", f"{temporary1}/64", "dev", "veth0")
    found = advertise(router_ns, "2001:db8:1::/64 14400 86400", lambda f: only(f, "temporary", "2001:db8:1:"))
    temporary2 = only(found, "temporary", "2001:db8:1:")
    check(temporary2 != temporary1, "the kernel made another temporary address")
    status, err, _, _ = once(config, temporary2)
    check(status == 0 and "->" not in err and not os.path.exists(marker) and dig(dns_port, "home.example.test") == "",
          "a rotated temporary address notifies nothing", f"{status}\n{err}")

    print("renumbered: one notice, both names updated on named")
    found = advertise(router_ns, "2001:db8:2::/64 14400 86400;2001:db8:1::/64 0 86400",
                      lambda f: only(f, "stable", "2001:db8:2:") and only(f, "temporary", "2001:db8:2:")
                      and f.get(stable1) == "deprecated")
    stable2, temporary3 = only(found, "stable", "2001:db8:2:"), only(found, "temporary", "2001:db8:2:")
    status, err, url6, env = once(config, temporary3)
    check(status == 1 and "IPv6 prefix: 2001:db8:1::/64 -> 2001:db8:2::/64" in err, "the new prefix is a change", err)
    with open(marker) as f:
        check(f.read() == "2001:db8:2::/64\n", "one notice with the new prefix")
    check(dig(dns_port, "home.example.test") == stable2 and dig(dns_port, "nas.example.test") == "2001:db8:2::10",
          "this machine's name and the other host's follow the prefix", err)

    print("the window shows the stable address, the prefix and the temporary one's note")
    source6, words = started(["/usr/bin/python3", os.path.join(PEERS, "chaos_address_peer.py"), "--step",
                              f"text:{temporary3}"], "PORT")
    env.update(VISTREL_ADDRESS6_SOURCES=f"http://127.0.0.1:{words[1]}/ip", QT_QPA_PLATFORM="offscreen",
               VISTREL_TEST_SETTINGS=config, VISTREL_TEST_EXPECT=f"{stable2} 2001:db8:2::/64 temporary")
    window = subprocess.run([WINDOW_TEST], env=env, capture_output=True, text=True, timeout=30)
    check(window.returncode == 0, "the window test passes", window.stdout + window.stderr)
    print("PASS")  # every peer, radvd and the router's namespace end with this process (PR_SET_PDEATHSIG)


main()
