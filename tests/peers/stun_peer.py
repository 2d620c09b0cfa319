#!/usr/bin/python3
"""Runs coturn as a plain STUN server on 127.0.0.1 for the tests and stops it by itself.

Prints "PORT <port>" once it answers a Binding request; stops when standard input closes or after
--lifetime seconds.
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
    request = struct.pack("!HHI", 0x0001, 0, 0x2112A442) + b"vistrelprobe"
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.2)
        s.sendto(request, ("127.0.0.1", port))
        try:
            return s.recv(1500)[:2] == b"\x01\x01"
        except OSError:
            return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-stun-")
    port = free_udp_port()
    command = ["turnserver", "-c", "/dev/null", "--stun-only", "--listening-ip=127.0.0.1",
               "--listening-port=%d" % port, "--no-cli", "--no-tls", "--no-dtls", "--log-file=stdout",
               "--simple-log", "--pidfile=" + os.path.join(work, "turnserver.pid"), "--no-software-attribute",
               "--userdb=" + os.path.join(work, "turndb")]
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=sys.stderr, stderr=sys.stderr)
    try:
        deadline = time.monotonic() + 10
        while not answers(port):
            if process.poll() is not None or time.monotonic() > deadline:
                sys.stderr.write("turnserver did not start\n")
                return 1
        emit("PORT %d" % port)
        wait_for_end(args.lifetime)
    finally:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
