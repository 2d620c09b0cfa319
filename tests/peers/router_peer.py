#!/usr/bin/python3
"""A home router in network namespaces, joined to the caller's own namespace (run it inside one made for the test):
the caller's side gets lan0 192.168.77.2/24 with the router, 192.168.77.1, as its default gateway. The router runs
miniupnpd (NAT-PMP and UPnP) on its LAN side with --wan ADDRESS/PREFIX on its WAN link, whose far end
(100.64.0.1/10 or --wan-peer) is one more namespace. --stun ADDRESS has miniupnpd learn its public address from
udp_fault_peer.py on the far end, which answers ADDRESS; --silent runs no miniupnpd (a router that answers
nothing). --igd TEXT runs, instead of miniupnpd, a UPnP gateway of this script's own whose GetExternalIPAddress
answers TEXT as it is (what miniupnpd never says: "100.64"), with --endless a device description without end.
Prints "GATEWAY 192.168.77.1" once the router listens; ends with stdin and takes the namespaces with it."""
import argparse
import http.server
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading

from xml.sax.saxutils import escape

from peerlib import emit, wait_for_end

HERE = os.path.dirname(os.path.abspath(__file__))


# The tables and chains miniupnpd fills with its mappings (those its own start-up script makes), made through
# libnftables: without them it refuses every PCP MAP for want of resources.
NFT_TABLES = b"""table inet filter {
 chain forward { type filter hook forward priority 0; policy accept; jump miniupnpd; }
 chain miniupnpd { }
 chain prerouting { type nat hook prerouting priority -100; policy accept; jump prerouting_miniupnpd; }
 chain postrouting { type nat hook postrouting priority 100; policy accept; jump postrouting_miniupnpd; }
 chain prerouting_miniupnpd { }
 chain postrouting_miniupnpd { }
}"""


def make_tables():
    """Run inside the router's namespace (--make-tables)."""
    import ctypes
    nft = ctypes.CDLL("libnftables.so.1")
    nft.nft_ctx_new.restype = ctypes.c_void_p
    nft.nft_run_cmd_from_buffer.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    sys.exit(nft.nft_run_cmd_from_buffer(nft.nft_ctx_new(0), NFT_TABLES))


def holder():
    """A process in a network namespace of its own, which lives until its stdin closes."""
    return subprocess.Popen(["unshare", "-n", "cat"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)


def run(*command, ns=None):
    prefix = ["nsenter", "-t", str(ns.pid), "-n"] if ns else []
    subprocess.run(prefix + list(command), check=True)


DESCRIPTION = b"""<?xml version="1.0"?><root xmlns="urn:schemas-upnp-org:device-1-0"><device><serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType><controlURL>/ctl/IPConn</controlURL>
</service></serviceList></device></root>"""
ANSWER = """<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>
<u:GetExternalIPAddressResponse xmlns:u="urn:schemas-upnp-org:service:WANIPConnection:1">
<NewExternalIPAddress>%s</NewExternalIPAddress></u:GetExternalIPAddressResponse></s:Body></s:Envelope>"""


def serve_igd(answer, endless):
    """The --igd gateway, run inside the router's namespace: SSDP on rlan, its description and control over HTTP."""
    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_GET(self):  # HTTP/1.0: the body ends when the connection does, or never
            self.send_response(200)
            self.end_headers()
            try:
                self.wfile.write(DESCRIPTION)
                while endless:
                    self.wfile.write(b"<!--" + b"x" * 65536 + b"-->")
            except OSError:
                pass

        def do_POST(self):
            self.rfile.read(min(int(self.headers.get("Content-Length", "0")), 65536))
            self.send_response(200)
            self.end_headers()
            self.wfile.write((ANSWER % escape(answer)).encode())

    web = http.server.ThreadingHTTPServer(("192.168.77.1", 0), Handler)
    web.daemon_threads = True
    threading.Thread(target=web.serve_forever, daemon=True).start()
    ssdp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    ssdp.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    ssdp.bind(("", 1900))
    group = struct.pack("4s4s", socket.inet_aton("239.255.255.250"), socket.inet_aton("192.168.77.1"))
    ssdp.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, group)
    emit("READY")
    location = "http://192.168.77.1:%d/rootDesc.xml" % web.server_address[1]
    while True:
        datagram, sender = ssdp.recvfrom(2048)
        if datagram.startswith(b"M-SEARCH"):
            ssdp.sendto(("HTTP/1.1 200 OK\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
                         "LOCATION: %s\r\n\r\n" % location).encode(), sender)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wan", default="203.0.113.5/24")
    parser.add_argument("--wan-peer", default="100.64.0.1/10")
    parser.add_argument("--stun")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--igd")
    parser.add_argument("--endless", action="store_true")
    parser.add_argument("--serve-igd", action="store_true", help=argparse.SUPPRESS)  # the --igd gateway itself
    parser.add_argument("--make-tables", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.make_tables:
        return make_tables()
    if args.serve_igd:
        return serve_igd(args.igd, args.endless)
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
        if args.igd is not None:
            igd = subprocess.Popen(["nsenter", "-t", str(router.pid), "-n", sys.executable, os.path.abspath(__file__),
                                    "--serve-igd", "--igd", args.igd] + (["--endless"] if args.endless else []),
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            children.append(igd)
            if not igd.stdout.readline():
                emit("FAILED the UPnP gateway ended")
                return
        elif not args.silent:
            run(sys.executable, os.path.abspath(__file__), "--make-tables", ns=router)
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
