#!/usr/bin/python3
"""The program on a desktop: Xvfb, the AT-SPI bus and dunst on the private session bus this runs in, and nginx.

A remembered external address that differs from the served one makes a change: dunst must take the notice
(an id > 0), and AT-SPI must read "Internal: <address>" and "External: <address>" in the main window and the
overlay (turned on through its button over AT-SPI). Usage: desktop_session.py --binary build/tarnwick-ip-vistrel
"""
import os, re, select, subprocess, sys, tempfile, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def program_names(pyatspi):
    """{window title: [label names]} of the program's windows, as AT-SPI gives them."""
    app = next((a for a in pyatspi.Registry.getDesktop(0) if a and "vistrel" in (a.name or "").lower()), [])
    labels = lambda w: [n.name for n in pyatspi.findAllDescendants(w, lambda n: n.getRole() == pyatspi.ROLE_LABEL)]
    return app, {w.name: labels(w) for w in app}


def main():
    binary = sys.argv[sys.argv.index("--binary") + 1]
    read_end, write_end = os.pipe()
    # -terminate: the server ends with its last client, so that a test that dies leaves none behind.
    subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-terminate"], pass_fds=[write_end])
    env = dict(os.environ, DISPLAY=":" + os.fdopen(read_end).readline().strip(), XDG_CONFIG_HOME=tempfile.mkdtemp())
    subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env=os.environ)  # no X client
    dunst = subprocess.Popen(["dunst"], env=env)
    root = tempfile.mkdtemp()
    open(os.path.join(root, "ip"), "w").write("203.0.113.1\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests/peers/nginx_peer.py"), "--root", root],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    url = f"http://127.0.0.1:{nginx.stdout.readline().split()[1]}/body/ip"
    with open(os.path.join(env["XDG_CONFIG_HOME"], "Tarnwick IP Vistrel.conf"), "w") as f:
        f.write("[Settings]\nshowHelp=0\nOldExternal=198.51.100.1\n")
    program = subprocess.Popen([binary], stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, env=dict(
        env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", VISTREL_ADDRESS_URL=url,
        QT_LOGGING_RULES="vistrel.status.info=true\nvistrel.desktop.notice.debug=true"))
    try:
        seen, deadline = "", time.monotonic() + 30
        while not re.search(r"desktop notice [1-9]\d* shown", seen) and select.select([program.stderr], [], [],
                                                                                        deadline - time.monotonic())[0]:
            seen += os.read(program.stderr.fileno(), 4096).decode(errors="replace") or "(ended)"
        print("program:", seen)
        import pyatspi
        holds = lambda names: re.search(r"'Internal: \d+\.\d+\.\d+\.\d+'", str(names)) and "External: 203.0.113.1" in names
        for _ in range(50):  # AT-SPI is a bus away from the program: its windows show up a moment later
            app, found = program_names(pyatspi)
            button = app and pyatspi.findDescendant(app, lambda n: n.name == "Turn on IP Address Overlay")
            if button:
                button.queryAction().doAction(0)
            main_window = [n for title, n in found.items() if "Internal:" in n and title != "IP Address Overlay"]
            if holds(found.get("IP Address Overlay", [])) and main_window and holds(main_window[0]):
                break
            time.sleep(0.2)
        print("AT-SPI:", found)
        ok = holds(found.get("IP Address Overlay", [])) and main_window and holds(main_window[0])
        return 0 if ok and re.search(r"desktop notice [1-9]\d* shown", seen) else 1
    finally:
        program.terminate()
        nginx.stdin.close()
        dunst.terminate()


if __name__ == "__main__":
    sys.exit(main())
