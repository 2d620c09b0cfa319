#!/usr/bin/python3
"""Runs dnsmasq on 127.0.0.1 with the arguments after "--" (--address=/name/203.0.113.7, ...), reading no
configuration, hosts or resolv.conf. Prints "PORT <port>" once it answers; stops when standard input closes."""
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


def run_udp_server(make_command, probe, reply_prefix, work, lifetime):
    """Runs the server until stdin closes; one that exits at start (port taken over TCP) gets another port."""
    def answers(port):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            s.settimeout(0.2)
            s.sendto(probe, ("127.0.0.1", port))
            try:
                return s.recv(1500).startswith(reply_prefix)
            except OSError:
                return False

    process = None
    try:
        for _attempt in range(3):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            command = make_command(port)
            process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=sys.stderr, stderr=sys.stderr)
            deadline = time.monotonic() + 10
            while process.poll() is None and time.monotonic() < deadline:
                if answers(port):
                    emit("PORT %d" % port)
                    wait_for_end(lifetime)
                    return 0
                time.sleep(0.05)
            process.terminate()
            process.wait()
        sys.stderr.write("%s did not start\n" % command[0])
        return 1
    finally:
        if process and process.poll() is None:
            process.terminate()
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("dnsmasq_args", nargs="*")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-dns-")
    command = ["dnsmasq", "--no-daemon", "--conf-file=/dev/null", "--listen-address=127.0.0.1", "--bind-interfaces",
               "--no-resolv", "--no-hosts", "--pid-file=" + os.path.join(work, "dnsmasq.pid"), "--log-queries",
               "--log-facility=-"] + args.dnsmasq_args
    # version.bind, class CH, type TXT: dnsmasq always knows it.
    probe = struct.pack("!6H", 0x4242, 0x0100, 1, 0, 0, 0) + b"\x07version\x04bind\x00" + struct.pack("!HH", 16, 3)
    return run_udp_server(lambda port: command + ["--port=%d" % port], probe, b"\x42\x42", work, args.lifetime)


if __name__ == "__main__":
    sys.exit(main())
