#!/usr/bin/python3
"""dnsmasq ARGS... or coturn (plain STUN) on 127.0.0.1; prints "PORT <port>" once it answers, ends with stdin."""
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

from peerlib import emit, wait_for_end


def command(server, port, work, extra):
    if server == "dnsmasq":
        return ["dnsmasq", "--no-daemon", "--conf-file=/dev/null", "--listen-address=127.0.0.1", "--bind-interfaces",
                "--no-resolv", "--no-hosts", "--pid-file=" + os.path.join(work, "pid"), "--log-queries",
                "--log-facility=-", "--port=%d" % port] + extra
    return ["turnserver", "-c", "/dev/null", "--stun-only", "--listening-ip=127.0.0.1", "--listening-port=%d" % port,
            "--no-cli", "--no-tls", "--no-dtls", "--log-file=stdout", "--simple-log", "--no-software-attribute",
            "--pidfile=" + os.path.join(work, "pid"), "--userdb=" + os.path.join(work, "turndb")]


PROBES = {"dnsmasq": (struct.pack("!6H", 0x4242, 0x0100, 1, 0, 0, 0) + b"\x07version\x04bind\x00" +
                      struct.pack("!HH", 16, 3), b"\x42\x42"),
          "coturn": (struct.pack("!HHI", 0x0001, 0, 0x2112A442) + b"vistrelprobe", b"\x01\x01")}


def answers(server, port):
    probe, prefix = PROBES[server]
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.settimeout(0.2)
        s.sendto(probe, ("127.0.0.1", port))
        try:
            return s.recv(1500).startswith(prefix)
        except OSError:
            return False


def main(server, extra):
    work = tempfile.mkdtemp(prefix="vistrel-%s-" % server)
    process = None
    try:
        for _attempt in range(3):  # a server that exits at start (port taken over TCP) gets another port
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
                s.bind(("127.0.0.1", 0))
                port = s.getsockname()[1]
            process = subprocess.Popen(command(server, port, work, extra), stdin=subprocess.DEVNULL, stdout=sys.stderr)
            deadline = time.monotonic() + 10
            while process.poll() is None and time.monotonic() < deadline:
                if answers(server, port):
                    emit("PORT %d" % port)
                    wait_for_end(600)
                    return 0
                time.sleep(0.05)
            process.terminate()
            process.wait()
        sys.stderr.write("%s did not start\n" % server)
        return 1
    finally:
        if process and process.poll() is None:
            process.terminate()
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
