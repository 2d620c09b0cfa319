#!/usr/bin/python3
"""Starts the peers of tests/peers/ for test programs that cannot start Linux programs themselves (the Windows
build under Wine, whose pipes do not reach a Linux child), then runs COMMAND with VISTREL_PEER_LAUNCHER naming it.

Usage: peer_launcher.py COMMAND [ARGUMENTS...]   (exits with COMMAND's status)

A test connects to 127.0.0.1:<port> and sends one line, a JSON list: the script and its arguments. The peer's
standard output comes back on the connection; the first byte the test sends after that, or the connection's end,
closes the peer's standard input (the peers stop then), and the connection ends when the peer has. Arguments
that are Wine paths of the Linux file system (Z:\\tmp\\x, Z:/tmp/x) reach the peer as Linux paths."""
import json, os, re, socket, subprocess, sys, threading

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")


def linux_path(arg):
    return arg[2:].replace("\\", "/") if re.match(r"^[zZ]:[\\/]", arg) else arg


def serve(connection):
    with connection, connection.makefile("rb") as incoming:
        try:
            script, *args = json.loads(incoming.readline())
        except ValueError:
            return
        peer = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, os.path.basename(script)),
                                 *map(linux_path, args)], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        # Anything more from the test, or its end, is the end of the peer's standard input.
        threading.Thread(target=lambda: (incoming.read(1), peer.stdin.close()), daemon=True).start()
        for chunk in iter(lambda: peer.stdout.read1(65536), b""):
            connection.sendall(chunk)
        peer.wait()


def accept(listener):
    while True:
        threading.Thread(target=serve, args=(listener.accept()[0],), daemon=True).start()


def main():
    listener = socket.create_server(("127.0.0.1", 0))
    threading.Thread(target=accept, args=(listener,), daemon=True).start()
    env = dict(os.environ, VISTREL_PEER_LAUNCHER=f"127.0.0.1:{listener.getsockname()[1]}")
    sys.exit(subprocess.call(sys.argv[1:], env=env))


if __name__ == "__main__":
    main()
