#!/usr/bin/python3
"""A home router in network namespaces, joined to the caller's own namespace (run it inside one made for the test):
the caller's side gets lan0 192.168.77.2/24 with the router, 192.168.77.1, as its default gateway. The router runs
miniupnpd (NAT-PMP and UPnP) on its LAN side with --wan ADDRESS/PREFIX on its WAN link, whose far end
(100.64.0.1/10 or --wan-peer) is one more namespace. --stun ADDRESS has miniupnpd learn its public address from
udp_fault_peer.py on the far end, which answers ADDRESS; --silent runs no miniupnpd (a router that answers
nothing). Prints "GATEWAY 192.168.77.1" once miniupnpd listens; ends with stdin and takes the namespaces with it."""
import argparse
import os
import subprocess
import sys
import tempfile
import threading

from peerlib import emit, wait_for_end

HERE = os.path.dirname(os.path.abspath(__file__))


def holder():
    """A process in a network namespace of its own, which lives until its stdin closes."""
    return subprocess.Popen(["unshare", "-n", "cat"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)


def run(*command, ns=None):
    prefix = ["nsenter", "-t", str(ns.pid), "-n"] if ns else []
    subprocess.run(prefix + list(command), check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wan", default="203.0.113.5/24")
    parser.add_argument("--wan-peer", default="100.64.0.1/10")
    parser.add_argument("--stun")
    parser.add_argument("--silent", action="store_true")
    args = parser.parse_args()
    router, wan = holder(), holder()
    folder = tempfile.TemporaryDirectory()
    children = []
    try:
        run("ip", "link", "set", "lo", "up")
        # The last router's link goes with its namespace, which the kernel tears down later: not waited for.
        subprocess.run(["ip", "link", "del", "lan0"], stderr=subprocess.DEVNULL)
        run("ip", "link", "add", "lan0", "type", "veth", "peer", "name", "rlan", "netns", str(router.pid))
        run("ip", "addr", "add", "192.168.77.2/24", "dev", "lan0")
        run("ip", "link", "set", "lan0", "up")
        run("ip", "route", "add", "default", "via", "192.168.77.1")
        run("ip", "link", "add", "wan0", "type", "veth", "peer", "name", "wup", "netns", str(wan.pid), ns=router)
        for command in (["lo", "up"], ["rlan", "up"], ["wan0", "up"]):
            run("ip", "link", "set", *command, ns=router)
        run("ip", "addr", "add", "192.168.77.1/24", "dev", "rlan", ns=router)
        run("ip", "addr", "add", args.wan, "dev", "wan0", ns=router)
        run("ip", "route", "add", "default", "dev", "wan0", ns=router)
        run("ip", "addr", "add", args.wan_peer, "dev", "wup", ns=wan)
        run("ip", "link", "set", "wup", "up", ns=wan)
        stun_host = args.wan_peer.split("/")[0]
        if args.stun:
            stun = subprocess.Popen(["nsenter", "-t", str(wan.pid), "-n", sys.executable,
                                     os.path.join(HERE, "udp_fault_peer.py"), "--protocol", "stun", "--listen",
                                     stun_host + ":3478", "--address", args.stun],
                                    stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            children.append(stun)
            stun.stdout.readline()
        if not args.silent:
            config = os.path.join(folder.name, "miniupnpd.conf")
            with open(config, "w") as f:
                f.write("ext_ifname=wan0\nlistening_ip=rlan\nport=0\nenable_natpmp=yes\nenable_upnp=yes\n"
                        "secure_mode=no\nuuid=1bf8d769-628f-40c9-8c09-db964c7e0455\n"
                        "lease_file=%s/leases\nallow 1024-65535 0.0.0.0/0 1024-65535\n" % folder.name)
                if args.stun:
                    f.write("ext_perform_stun=yes\next_stun_host=%s\next_stun_port=3478\n" % stun_host)
            daemon = subprocess.Popen(["nsenter", "-t", str(router.pid), "-n", "miniupnpd", "-f", config, "-d",
                                       "-P", os.path.join(folder.name, "pid")],
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            children.append(daemon)
            for line in daemon.stdout:
                if "Listening for NAT-PMP" in line:
                    break
            else:
                emit("FAILED miniupnpd ended")
                return
            threading.Thread(target=lambda: [None for _ in daemon.stdout], daemon=True).start()
        emit("GATEWAY 192.168.77.1")
        wait_for_end(120)
    finally:
        for child in children:
            child.terminate()
            child.wait()
        subprocess.run(["ip", "link", "del", "lan0"], stderr=subprocess.DEVNULL)
        for ns in (router, wan):
            ns.stdin.close()
            ns.wait()
        folder.cleanup()


if __name__ == "__main__":
    main()
