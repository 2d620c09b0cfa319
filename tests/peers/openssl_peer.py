#!/usr/bin/python3
"""Runs openssl on this machine for a test that cannot start it itself (the Windows build under Wine).
Usage: openssl_peer.py [--cwd DIR] [--serve] ARGUMENTS...
Without --serve: runs `openssl ARGUMENTS` to its end and prints "STATUS <exit status>".
With --serve (s_server): prints "STATUS 0" once the server says ACCEPT ("STATUS 1" if it ends before), keeps it
running until standard input closes (at most 120 s), then stops it."""
import subprocess, sys
from peerlib import emit, wait_for_end


def main():
    args, cwd, serve = sys.argv[1:], None, False
    while args and args[0] in ("--cwd", "--serve"):
        if args[0] == "--cwd":
            cwd, args = args[1], args[2:]
        else:
            serve, args = True, args[1:]
    if not serve:
        emit(f"STATUS {subprocess.call(['openssl', *args], cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)}")
        return
    server = subprocess.Popen(["openssl", *args], cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    ready = any(b"ACCEPT" in line for line in server.stdout)
    emit(f"STATUS {0 if ready else 1}")
    wait_for_end(120)
    server.kill()
    server.wait()


if __name__ == "__main__":
    main()
