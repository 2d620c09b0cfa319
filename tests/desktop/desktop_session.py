#!/usr/bin/python3
"""The program on a desktop: Xvfb, the AT-SPI bus, nginx and dunst, on the private session bus this runs in.

The first notice (the remembered address differs) goes to a service that never answers (this script): AT-SPI must
read "Internal: <address>"/"External: <address>" in the main window and the overlay at once all the same. Then dunst
takes two more changes ("Refresh"): the second notice replaces the first (the same id > 0). Usage: --binary <program>
"""
import os, re, select, subprocess, sys, tempfile, time
import dbus, pyatspi

read_end, write_end = os.pipe()  # -terminate: the X server ends with its last client, also when this test dies
subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-terminate"], pass_fds=[write_end])
home = tempfile.mkdtemp()
env = dict(os.environ, DISPLAY=":" + os.fdopen(read_end).readline().strip(), XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home)
subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])  # no X client: it would end Xvfb
monitor = subprocess.Popen(["stdbuf", "-oL", "dbus-monitor", "--session", "member=Notify"], stdout=subprocess.PIPE,
                           text=True)  # records the calls' text
bus = dbus.SessionBus()  # without a main loop nothing it receives is answered
bus.request_name("org.freedesktop.Notifications")
open(os.path.join(home, "ip"), "w").write("203.0.113.1\n")
nginx = subprocess.Popen(["/usr/bin/python3", os.path.dirname(__file__) + "/../peers/nginx_peer.py", "--root", home],
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
url = f"http://127.0.0.1:{nginx.stdout.readline().split()[1]}/body/ip"
open(os.path.join(home, "Tarnwick IP Vistrel.conf"), "w").write(
    f"[Settings]\nshowHelp=0\nOldExternal=198.51.100.1\naddressSources={url}\naddress6Sources=\n")
program = subprocess.Popen([sys.argv[sys.argv.index("--binary") + 1]], stderr=subprocess.PIPE, env=dict(
    env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", VISTREL_ADDRESS_SOURCES=url,
    QT_LOGGING_RULES="vistrel.desktop.notice.debug=true"))
started = time.monotonic()
holds = lambda names: re.search(r"'Internal: \d+\.\d+\.\d+\.\d+'", str(names)) and "External: 203.0.113.1" in names
for _ in range(25):  # AT-SPI is a bus away from the program: its windows show up there a moment later
    app = next((a for a in pyatspi.Registry.getDesktop(0) if a and "vistrel" in (a.name or "").lower()), [])
    found = {w.name: [n.name for n in pyatspi.findAllDescendants(w, lambda n: n.getRole() == pyatspi.ROLE_LABEL)]
             for w in app}
    if button := app and pyatspi.findDescendant(app, lambda n: n.name == "Turn on IP Address Overlay"):
        button.queryAction().doAction(0)
    windows = [n for t, n in found.items() if "Internal:" in n]  # the main window and the overlay
    if len(windows) == 2 and all(map(holds, windows)):
        break
    time.sleep(0.2)
read_in_time = time.monotonic() - started < 5  # well within the 10 s the unanswered notice waits
# The state at a glance and the IPv6 address's Copy button, named for a screen reader too.
named = {n: bool(app and pyatspi.findDescendant(app, lambda x, n=n: (x.name or "").startswith(n)))
         for n in ("State: Current", "Copy External IPv6")}
bus.release_name("org.freedesktop.Notifications")
dunst = subprocess.Popen(["dunst"], env=env)
while not bus.name_has_owner("org.freedesktop.Notifications") and time.monotonic() - started < 20:
    time.sleep(0.1)
log, shown = "", lambda: re.findall(r"desktop notice (\d+) shown", log)
for count, address in enumerate(("203.0.113.2", "203.0.113.3"), 1):
    open(os.path.join(home, "ip"), "w").write(address + "\n")
    pyatspi.findDescendant(app, lambda n: n.name == "Refresh" and n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                           ).queryAction().doAction(0)
    deadline = time.monotonic() + 10
    while len(shown()) < count and select.select([program.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
        log += os.read(program.stderr.fileno(), 4096).decode(errors="replace") or "(ended)"
for process in (program, dunst, monitor):
    process.terminate()
nginx.stdin.close()
calls = monitor.stdout.read()
print("program:", log, "\nAT-SPI:", found, named, "\nNotify calls:", calls)
texts = ['string "Tarnwick IP Vistrel"', 'string "IP address changed"', "External: 198.51.100.1 \u2192 203.0.113.1",
         "External: 203.0.113.2 \u2192 203.0.113.3"]
replaced = len(shown()) == 2 and shown()[0] == shown()[1] != "0"
sys.exit(0 if read_in_time and all(named.values()) and len(windows) == 2 and all(map(holds, windows)) and replaced and
         all(t in calls for t in texts) else 1)
