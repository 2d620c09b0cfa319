#!/usr/bin/python3
"""Runs dnsmasq on 127.0.0.1 for the tests and stops it by itself.

Every argument after "--" goes to dnsmasq as it is (--address=/name/203.0.113.7, --txt-record=...).
dnsmasq reads no configuration, hosts file or resolv.conf and forwards nothing. Prints "PORT <port>"
once it answers; stops when standard input closes or after --lifetime seconds.
"""
import argparse
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

from peerlib import emit, wait_for_end


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def answers(port):
    """Whether something answers a DNS query for version.bind (CH TXT) on the port."""
    query = struct.pack("!HHHHHH", 0x4242, 0x0100, 1, 0, 0, 0) + b"\x07version\x04bind\x00" + struct.pack("!HH", 16, 3)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.2)
        s.sendto(query, ("127.0.0.1", port))
        try:
            return s.recv(512)[:2] == b"\x42\x42"
        except OSError:
            return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("dnsmasq_args", nargs="*")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-dns-")
    port = free_udp_port()
    command = ["dnsmasq", "--no-daemon", "--conf-file=/dev/null", "--port=%d" % port,
               "--listen-address=127.0.0.1", "--bind-interfaces", "--no-resolv", "--no-hosts",
               "--pid-file=" + os.path.join(work, "dnsmasq.pid"), "--log-queries", "--log-facility=-"]
    process = subprocess.Popen(command + args.dnsmasq_args, stdin=subprocess.DEVNULL, stdout=sys.stderr,
                               stderr=sys.stderr)
    try:
        deadline = time.monotonic() + 10
        while not answers(port):
            if process.poll() is not None or time.monotonic() > deadline:
                sys.stderr.write("dnsmasq did not start\n")
                return 1
        emit("PORT %d" % port)
        wait_for_end(args.lifetime)
    finally:
        process.terminate()
        process.wait(timeout=5)
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
