#!/usr/bin/python3
"""The Windows build under Wine against a local nginx, as bench/startup_idle.py measures the Linux one:
  - Wine prefix creation, and the silent install of the setup program into it (per user);
  - the setup program's size and the installed size;
  - time from process start to the first lookup's "Finished looking up IPs" of the installed program, the median
    of several runs, beside the time the minimal Qt Widgets program (bench/minimal_qt.cpp built for Windows, staged
    the same way) needs to show its window, and their ratio. Both on the windows platform plugin on one Xvfb
    display; the Wine server starts with each run (the prefix exists), as a program started from Explorer would
    find it running, so the ratio is the figure to compare;
  - processor time (user + system) of the program's process, and of the Wine server beside it, while idling
    120 s with auto refresh at one minute.
Every program starts with a fresh settings file (--config) naming only the loopback address service, inside a
network namespace with only a loopback device.

Usage: bench/startup_idle_wine.py SETUP.exe MINIMAL_STAGE_DIR [--runs 7] [--idle 120]
  MINIMAL_STAGE_DIR  a folder with minimal_qt.exe and its DLLs and plugins beside it (windows/stage.sh)
"""
import argparse, os, select, shutil, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
from startup_idle import clock_ticks, time_to_line  # noqa: E402

WINE_RUN = os.path.join(ROOT, "windows", "wine-run.sh")


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def processes_of(prefix, name):
    """Pids of the processes of Wine prefix @p prefix whose command line holds @p name."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() + b"\0" not in f.read():
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if name.encode() in f.read():
                    found.append(int(pid))
        except OSError:
            pass
    return found


def idle_time(program, prefix, seconds):
    """Processor seconds of the program's process and of the Wine server over @p seconds, after start-up settled."""
    time.sleep(2)
    watched, servers = processes_of(prefix, "tarnwick-ip-vistrel.exe"), processes_of(prefix, "wineserver")
    before = {pid: clock_ticks(pid) for pid in watched + servers}
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        # Drain the status log so the program never blocks on a full pipe.
        ready, _, _ = select.select([program.stderr], [], [], deadline - time.monotonic())
        if ready:
            os.read(program.stderr.fileno(), 65536)
    used = lambda pids: sum(clock_ticks(pid) - before[pid] for pid in pids) / os.sysconf("SC_CLK_TCK")
    return used(watched), used(servers)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("setup")
    parser.add_argument("minimal_stage")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--idle", type=float, default=120.0)
    parser.add_argument("--expect", default="Finished looking up IPs", help="the line that ends a start")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="vistrel-bench-wine-")
    prefix = os.path.join(work, "prefix")
    env = dict(os.environ, VISTREL_WINEPREFIX=prefix, QT_LOGGING_RULES="vistrel.status.info=true")
    for name in ("QT_QPA_PLATFORM", "VISTREL_WINDOWS_PREFIXES"):
        env.pop(name, None)

    started = time.monotonic()
    subprocess.run([WINE_RUN, "cmd", "/c", "exit"], env=env, check=True, capture_output=True)
    prefix_s = time.monotonic() - started
    started = time.monotonic()
    subprocess.run([WINE_RUN, os.path.abspath(args.setup), "/S", "/CurrentUser"], env=env, check=True)
    install_s = time.monotonic() - started
    folder = next(d for d, _, files in os.walk(os.path.join(prefix, "drive_c", "users"))
                  if "tarnwick-ip-vistrel.exe" in files)
    installed_kib = int(subprocess.run(["du", "-sk", "--apparent-size", folder], capture_output=True,
                                       text=True).stdout.split()[0])
    program_exe = os.path.join(folder, "tarnwick-ip-vistrel.exe")
    minimal_exe = os.path.join(args.minimal_stage, "minimal_qt.exe")

    bodies = os.path.join(work, "bodies")
    os.makedirs(bodies)
    with open(os.path.join(bodies, "ip"), "w") as f:
        f.write("203.0.113.1\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"), "--root",
                              bodies, "--lifetime", str(args.idle + 60 * args.runs + 300)],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    url = f"http://127.0.0.1:{nginx.stdout.readline().split()[1]}/body/ip"
    env.update(VISTREL_ADDRESS_URL=url, VISTREL_ADDRESS_SOURCES=url)
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    env["DISPLAY"] = ":" + xvfb.stdout.readline().strip()

    def settings(run):
        path = os.path.join(work, f"run{run}.conf")
        with open(path, "w") as f:
            f.write(f"[Settings]\nrefresh=1\nrefreshrate=0\nshowHelp=0\naddressSources={url}\n")
        return wine_path(path)

    def stop_all():
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(env, WINEPREFIX=prefix))

    minimal_times, program_times, used = [], [], None
    try:
        for run in range(args.runs):
            elapsed, minimal = time_to_line([WINE_RUN, minimal_exe], env, "shown")
            minimal.wait(timeout=30)
            minimal_times.append(elapsed)
            elapsed, program = time_to_line([WINE_RUN, program_exe, "--config", settings(run)], env, args.expect)
            program_times.append(elapsed)
            if run < args.runs - 1 or not args.idle:
                stop_all()
                program.wait(timeout=30)
        if args.idle:
            used = idle_time(program, prefix, args.idle)
    finally:
        stop_all()
        xvfb.terminate()
        nginx.stdin.close()
        nginx.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)

    program_ms, minimal_ms = statistics.median(program_times), statistics.median(minimal_times)
    runs = lambda times: " ".join(f"{t:.0f}" for t in times)
    print(f"Wine prefix creation: {prefix_s:.1f} s; silent install: {install_s:.1f} s")
    print(f"setup program: {os.path.getsize(args.setup) / 1048576:.1f} MiB; installed: {installed_kib / 1024:.1f} MiB")
    print(f"start to first {args.expect!r} under Wine: {program_ms:.0f} ms, median of {args.runs} "
          f"(runs: {runs(program_times)})")
    print(f"minimal Qt Widgets program under Wine, start to its window shown: {minimal_ms:.0f} ms "
          f"(runs: {runs(minimal_times)})")
    print(f"ratio: {program_ms / minimal_ms:.1f}")
    if used:
        print(f"processor time over {args.idle:.0f} s idle with auto refresh at 1 minute: program {used[0]:.2f} s, "
              f"Wine server {used[1]:.2f} s")


if __name__ == "__main__":
    main()
