"""What every peer shares: a free loopback port, whole output lines, the wait for stdin to close or a lifetime."""
import select, socket, sys, threading, time

_print_lock = threading.Lock()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def emit(line):
    with _print_lock:
        print(line, flush=True)


def wait_for_end(lifetime):
    deadline = time.monotonic() + lifetime
    while select.select([sys.stdin], [], [], max(0.0, deadline - time.monotonic()))[0]:
        if not sys.stdin.buffer.read1(4096):
            return


def until(test, seconds=15):
    """Whether test() comes true within SECONDS, asked five times a second."""
    deadline = time.monotonic() + seconds
    while not test():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True
