#!/usr/bin/python3
"""The overlay under a window manager (openbox on Xvfb): it stays off the task bar and the pager and above other
windows, as the window states and type the window manager keeps on it say (read with xprop); the main window is an
ordinary one. The program asks one loopback address source that does not answer. Usage: --binary <program>"""
import os, re, socket, subprocess, sys, tempfile, time

read_end, write_end = os.pipe()  # -terminate: the X server ends with its last client, also when this test dies
subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-terminate"], pass_fds=[write_end])
home = tempfile.mkdtemp()
env = dict(os.environ, DISPLAY=":" + os.fdopen(read_end).readline().strip(), XDG_CONFIG_HOME=home, XDG_CACHE_HOME=home,
           XDG_DATA_HOME=home, QT_QPA_PLATFORM="xcb")
manager = subprocess.Popen(["openbox", "--sm-disable"], env=env, stderr=subprocess.DEVNULL)
silent = socket.create_server(("127.0.0.1", 0))  # accepts and never answers: the lookup waits
url = f"http://127.0.0.1:{silent.getsockname()[1]}/ip"
open(os.path.join(home, "Tarnwick IP Vistrel.conf"), "w").write(
    f"[Settings]\nshowHelp=0\noverlayShown=1\naddressSources={url}\naddress6Sources=\n")
program = subprocess.Popen([sys.argv[sys.argv.index("--binary") + 1]], env=dict(env, VISTREL_ADDRESS_SOURCES=url),
                           stderr=subprocess.DEVNULL)


def window(title):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True, text=True).stdout
    match = re.search(r"^\s*(0x[0-9a-f]+) \"" + re.escape(title) + '"', tree, re.M)
    return match and subprocess.run(["xprop", "-id", match.group(1), "_NET_WM_STATE", "_NET_WM_WINDOW_TYPE"],
                                    env=env, capture_output=True, text=True).stdout


overlay = main = None
deadline = time.monotonic() + 15
while time.monotonic() < deadline and not (overlay and "_NET_WM_STATE_ABOVE" in overlay and main):
    time.sleep(0.2)
    overlay, main = window("IP Address Overlay"), window("Tarnwick IP Vistrel by Tarnwick Software")
for process in (program, manager):
    process.terminate()
print("overlay:", overlay, "\nmain window:", main)
off_bars = overlay and all(s in overlay for s in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER",
                                                  "_NET_WM_STATE_ABOVE", "_NET_WM_WINDOW_TYPE_UTILITY"))
sys.exit(0 if off_bars and main and "SKIP_TASKBAR" not in main else 1)
