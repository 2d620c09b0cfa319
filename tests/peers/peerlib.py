"""What every test peer shares: a free loopback port, flushed output lines, and the wait for the test
to end (standard input closed) or for the peer's lifetime to run out."""
import select
import socket
import sys
import threading
import time

_print_lock = threading.Lock()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def emit(line):
    with _print_lock:
        sys.stdout.write(line + "\n")
        sys.stdout.flush()


def wait_for_end(lifetime):
    deadline = time.monotonic() + lifetime
    while time.monotonic() < deadline:
        ready, _, _ = select.select([sys.stdin], [], [], 1.0)
        if ready and not sys.stdin.buffer.read1(4096):
            return
