#!/usr/bin/python3
"""The program on a desktop: Xvfb, the AT-SPI bus and dunst on the private session bus this runs in, and nginx.

A remembered external address that differs from the served one is a change: dunst must take the notice (id > 0),
and the next change ("Refresh" after the served address changed) must replace it (the same id). AT-SPI must read
"Internal: <address>" and "External: <address>" in the main window and in the overlay (turned on through its
button over AT-SPI). Usage: desktop_session.py --binary build/tarnwick-ip-vistrel
"""
import os, re, select, subprocess, sys, tempfile, time
import pyatspi

read_end, write_end = os.pipe()  # -terminate: the X server ends with its last client, also when this test dies
subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-terminate"], pass_fds=[write_end])
env = dict(os.environ, DISPLAY=":" + os.fdopen(read_end).readline().strip(), XDG_CONFIG_HOME=tempfile.mkdtemp())
subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])  # no X client: it would end Xvfb
dunst = subprocess.Popen(["dunst"], env=env)
open(os.path.join(env["XDG_CONFIG_HOME"], "ip"), "w").write("203.0.113.1\n")
nginx = subprocess.Popen(["/usr/bin/python3", os.path.dirname(__file__) + "/../peers/nginx_peer.py", "--root",
                          env["XDG_CONFIG_HOME"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
url = f"http://127.0.0.1:{nginx.stdout.readline().split()[1]}/body/ip"
open(os.path.join(env["XDG_CONFIG_HOME"], "Tarnwick IP Vistrel.conf"), "w").write(
    "[Settings]\nshowHelp=0\nOldExternal=198.51.100.1\n")
program = subprocess.Popen([sys.argv[sys.argv.index("--binary") + 1]], stderr=subprocess.PIPE, env=dict(
    env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", VISTREL_ADDRESS_URL=url,
    QT_LOGGING_RULES="vistrel.desktop.notice.debug=true"))
log = ""


def notices(count):
    """The ids of the first @p count desktop notices the program says the service took."""
    global log
    deadline = time.monotonic() + 30
    while len(re.findall(r"desktop notice (\d+) shown", log)) < count and select.select(
            [program.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
        log += os.read(program.stderr.fileno(), 4096).decode(errors="replace") or "(ended)"
    return re.findall(r"desktop notice (\d+) shown", log)


notices(1)
holds = lambda names: re.search(r"'Internal: \d+\.\d+\.\d+\.\d+'", str(names)) and "External: 203.0.113.1" in names
for _ in range(50):  # AT-SPI is a bus away from the program: its windows show up there a moment later
    app = next((a for a in pyatspi.Registry.getDesktop(0) if a and "vistrel" in (a.name or "").lower()), [])
    found = {w.name: [n.name for n in pyatspi.findAllDescendants(w, lambda n: n.getRole() == pyatspi.ROLE_LABEL)]
             for w in app}
    button = app and pyatspi.findDescendant(app, lambda n: n.name == "Turn on IP Address Overlay")
    if button:
        button.queryAction().doAction(0)
    windows = [n for t, n in found.items() if "Internal:" in n]  # the main window and the overlay
    if len(windows) == 2 and all(map(holds, windows)):
        break
    time.sleep(0.2)
open(os.path.join(env["XDG_CONFIG_HOME"], "ip"), "w").write("203.0.113.2\n")
pyatspi.findDescendant(app, lambda n: n.name == "Refresh").queryAction().doAction(0)
ids = notices(2)  # the second change replaces the first notice: dunst gives it the same id
print("program:", log, "\nAT-SPI:", found)
program.terminate()
nginx.stdin.close()
dunst.terminate()
replaced = len(ids) == 2 and ids[0] == ids[1] != "0"
sys.exit(0 if len(windows) == 2 and all(map(holds, windows)) and replaced else 1)
