#!/usr/bin/python3
"""Runs coturn as a plain STUN server on 127.0.0.1. Prints "PORT <port>" once it answers a Binding request;
stops when standard input closes."""
import argparse
import os
import struct
import sys
import tempfile

from dns_peer import run_udp_server


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-stun-")
    def command(port):
        return ["turnserver", "-c", "/dev/null", "--stun-only", "--listening-ip=127.0.0.1",
                "--listening-port=%d" % port, "--no-cli", "--no-tls", "--no-dtls", "--log-file=stdout",
                "--simple-log", "--pidfile=" + os.path.join(work, "turnserver.pid"), "--no-software-attribute",
                "--userdb=" + os.path.join(work, "turndb")]
    probe = struct.pack("!HHI", 0x0001, 0, 0x2112A442) + b"vistrelprobe"
    return run_udp_server(command, probe, b"\x01\x01", work, args.lifetime)


if __name__ == "__main__":
    sys.exit(main())
