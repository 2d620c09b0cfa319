#!/usr/bin/python3
"""Screen readers get the addresses: the program under Xvfb with the AT-SPI bus, read over AT-SPI.

Run inside a private D-Bus session. The main window's and the overlay's address labels must carry names
"Internal: <address>" and "External: <address>". Exits 0 when both windows do, 1 with what was read otherwise.
Usage: atspi_names.py --binary build/tarnwick-ip-vistrel
"""
import argparse
import os
import re
import select
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXTERNAL = "203.0.113.1"
OVERLAY = "IP Address Overlay"


def start_xvfb():
    read_end, write_end = os.pipe()
    # -terminate: the server ends with its last client, so a test that dies leaves none behind.
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-terminate",
                             "-screen", "0", "1024x768x24"], pass_fds=[write_end])
    os.close(write_end)
    with os.fdopen(read_end) as f:
        return xvfb, ":" + f.readline().strip()


def wait_for_line(stream, text, seconds):
    """"" once @p text came, else what came instead."""
    deadline, seen = time.monotonic() + seconds, b""
    while time.monotonic() < deadline:
        if select.select([stream], [], [], deadline - time.monotonic())[0]:
            chunk = os.read(stream.fileno(), 4096)
            if not chunk:
                break
            seen += chunk
            if text.encode() in seen:
                return ""
    return seen.decode(errors="replace")


def labels_by_window(pyatspi):
    """{window name: [label names]} of the program's windows, or {} while it is not on the AT-SPI bus."""
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or "vistrel" not in (app.name or "").lower():
            continue
        found = {}
        for window in app:
            names = []
            stack = [window]
            while stack:
                node = stack.pop()
                if node is None:
                    continue
                if node.getRole() == pyatspi.ROLE_LABEL:
                    names.append(node.name)
                stack.extend(node)
            found[window.name] = names
        return found
    return {}


def press(pyatspi, caption):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and "vistrel" in (app.name or "").lower():
            button = pyatspi.findDescendant(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == caption)
            if button is not None:
                button.queryAction().doAction(0)
                return True
    return False


def read_until(pyatspi, done, seconds=10):
    """What AT-SPI shows, re-read until @p done holds for it (AT-SPI is a bus away) or time runs out."""
    deadline = time.monotonic() + seconds
    while True:
        found = labels_by_window(pyatspi)
        if done(found) or time.monotonic() > deadline:
            return found
        time.sleep(0.2)


def windows(found):
    """The overlay's labels and the main window's (the window with the captions that is not the overlay)."""
    overlay = found.get(OVERLAY, [])
    main_window = next((n for title, n in found.items() if title != OVERLAY and "Internal:" in n), [])
    return overlay, main_window


def holds_addresses(names):
    internal = [n for n in names if re.fullmatch(r"Internal: \d+\.\d+\.\d+\.\d+", n or "")]
    return bool(internal) and f"External: {EXTERNAL}" in names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    args = parser.parse_args()
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display)
    # Without the display: the program finds the AT-SPI bus through the session bus, and an X client that
    # left would end the server.
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           env={k: v for k, v in os.environ.items() if k != "DISPLAY"})

    body_root = tempfile.mkdtemp(prefix="vistrel-atspi-")
    with open(os.path.join(body_root, "ip"), "w") as f:
        f.write(EXTERNAL + "\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"),
                              "--root", body_root, "--lifetime", "120"],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    port = nginx.stdout.readline().split()[1]
    config = tempfile.mkdtemp(prefix="vistrel-atspi-config-")
    with open(os.path.join(config, "Tarnwick IP Vistrel.conf"), "w") as f:
        f.write("[Settings]\nshowHelp=0\n")
    program = subprocess.Popen([args.binary], stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
                               env=dict(env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                                        XDG_CONFIG_HOME=config, VISTREL_ADDRESS_URL=f"http://127.0.0.1:{port}/body/ip",
                                        QT_LOGGING_RULES="vistrel.status.info=true"))
    try:
        unseen = wait_for_line(program.stderr, "Finished looking up IPs", 30)
        if unseen:
            sys.exit("the first lookup never finished:\n" + unseen)
        import pyatspi
        read_until(pyatspi, bool)
        if not press(pyatspi, "Turn on IP Address Overlay"):
            sys.exit("no overlay button over AT-SPI")
        found = read_until(pyatspi, lambda f: all(holds_addresses(n) for n in windows(f)))
        overlay, main_window = windows(found)
        print("AT-SPI read:", found)
        print("overlay:", "ok" if holds_addresses(overlay) else "MISSING")
        print("main window:", "ok" if holds_addresses(main_window) else "MISSING")
        return 0 if holds_addresses(overlay) and holds_addresses(main_window) else 1
    finally:
        program.terminate()
        program.wait(timeout=10)
        nginx.stdin.close()
        bus.terminate()
        xvfb.terminate()


if __name__ == "__main__":
    sys.exit(main())
