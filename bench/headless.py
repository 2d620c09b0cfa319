#!/usr/bin/python3
"""The watcher without a window against a local nginx, as ratios of one run:
  - peak resident memory (VmHWM) of --headless over that of the window (offscreen), 10 s after the first lookup;
  - processor time of --headless over --idle seconds with auto refresh at one minute;
  - --once from start to exit (median of --runs), over a minimal Qt program's start and exit (a QCoreApplication
    that quits at once: the program's own start-up is the part it can change) and over /bin/true;
  - the headless executable's --once beside a bare Qt program that fetches the one address URL
    (bench/fetch_one_url.cpp): peak resident memory and processor time (user + system), medians of --runs, and
    the instructions each run takes when valgrind is installed (a figure that does not move with the machine's load).

Usage: bench/headless.py [--binary build/tarnwick-ip-vistrel] [--idle 120] [--runs 9]
"""
import argparse, os, select, shutil, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
from startup_idle import clock_ticks, peak_rss_kib  # noqa: E402

NO_DISPLAY = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
MINIMAL_QT = "#include <QCoreApplication>\nint main(int c, char** v) { QCoreApplication a(c, v); return 0; }\n"


def settings(work, name):
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write("[Settings]\nrefresh=1\nrefreshrate=0\nshowHelp=0\n")
    return path


def until_finished(program):
    """Drains standard error until the first lookup ends; the time it took."""
    started, buffered = time.monotonic(), b""
    while b"Finished looking up IPs" not in buffered:
        ready, _, _ = select.select([program.stderr], [], [], 30)
        chunk = os.read(program.stderr.fileno(), 65536) if ready else b""
        if not chunk:
            program.kill()
            sys.exit("the first lookup never finished:\n" + buffered.decode(errors="replace"))
        buffered += chunk
    return time.monotonic() - started


def drain(program, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if select.select([program.stderr], [], [], max(0, deadline - time.monotonic()))[0]:
            os.read(program.stderr.fileno(), 65536)


def watch(binary, args, env, seconds):
    program = subprocess.Popen([binary, *args], env=env, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE)
    until_finished(program)
    time.sleep(2)  # start-up settles
    before = clock_ticks(program.pid)
    drain(program, seconds)
    used = (clock_ticks(program.pid) - before) / os.sysconf("SC_CLK_TCK")
    peak = peak_rss_kib(program.pid)
    program.terminate()
    program.wait(timeout=10)
    return peak, used


def median_run(command, env, runs):
    times = []
    for _ in range(runs):
        started = time.monotonic()
        subprocess.run(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        times.append(time.monotonic() - started)
    return statistics.median(times)


def resources_run(command, env, runs):
    """Medians of peak resident memory (KiB) and processor time (s) over @p runs runs of @p command."""
    peaks, times = [], []
    for _ in range(runs):
        program = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(program.pid, 0)
        peaks.append(usage.ru_maxrss)
        times.append(usage.ru_utime + usage.ru_stime)
    return statistics.median(peaks), statistics.median(times)


def instructions(command, env):
    """The instructions one run of @p command takes under callgrind, or None without valgrind."""
    if not shutil.which("valgrind"):
        return None
    out = tempfile.mktemp(prefix="vistrel-bench-callgrind-")
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}", *command], env=env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    try:
        with open(out) as f:
            totals = [line for line in f if line.startswith("totals:") or line.startswith("summary:")]
        return int(totals[-1].split()[1]) if totals else None
    finally:
        if os.path.exists(out):
            os.remove(out)


def minimal_qt_program(work, text=MINIMAL_QT, module="Qt6Core"):
    source = os.path.join(work, module + ".cpp")
    with open(source, "w") as f:
        f.write(text)
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", module], capture_output=True, text=True)
    binary = os.path.join(work, module)
    if flags.returncode != 0 or subprocess.run(["g++", "-std=c++20", "-fPIC", "-O1", source, "-o", binary,
                                                *flags.stdout.split()]).returncode != 0:
        return None
    return binary


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(ROOT, "build", "tarnwick-ip-vistrel"))
    parser.add_argument("--idle", type=float, default=120.0)
    parser.add_argument("--runs", type=int, default=9)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vistrel-bench-headless-")
    with open(os.path.join(work, "ip"), "w") as f:
        f.write("203.0.113.1\n")
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(ROOT, "tests", "peers", "nginx_peer.py"),
                              "--root", work, "--lifetime", str(args.idle + 300)],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready = nginx.stdout.readline().split()
    if not ready or ready[0] != "PORT":
        sys.exit("nginx did not start")
    runtime = os.path.join(work, "run")
    os.makedirs(runtime, mode=0o700)
    env = dict(NO_DISPLAY, XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=runtime,
               VISTREL_ADDRESS_URL=f"http://127.0.0.1:{ready[1]}/body/ip",
               VISTREL_ADDRESS_SOURCES=f"http://127.0.0.1:{ready[1]}/body/ip", VISTREL_ADDRESS6_SOURCES="")

    windowed_peak, _ = watch(args.binary, ["--config", settings(work, "window.conf")],
                             dict(env, QT_QPA_PLATFORM="offscreen", QT_LOGGING_RULES="vistrel.status.info=true"), 10)
    headless_peak, idle_cpu = watch(args.binary, ["--headless", "--config", settings(work, "headless.conf")], env,
                                    args.idle)
    once = median_run([args.binary, "--once", "--config", settings(work, "once.conf")], env, args.runs)
    true = median_run(["/bin/true"], env, args.runs)
    minimal = minimal_qt_program(work)
    reference = median_run([minimal], env, args.runs) if minimal else None
    with open(os.path.join(HERE, "fetch_one_url.cpp")) as f:
        fetch = minimal_qt_program(work, f.read(), "Qt6Network")
    headless = os.path.join(os.path.dirname(args.binary), "tarnwick-ip-vistrel-headless")
    once_command = [headless, "--once", "--config", settings(work, "once-headless.conf")]
    fetch_command = [fetch, env["VISTREL_ADDRESS_SOURCES"]] if fetch else None
    if fetch_command:
        once_use, fetch_use = resources_run(once_command, env, args.runs), resources_run(fetch_command, env, args.runs)
        once_instructions, fetch_instructions = instructions(once_command, env), instructions(fetch_command, env)
    nginx.stdin.close()
    nginx.wait(timeout=10)
    shutil.rmtree(work, ignore_errors=True)

    print(f"peak resident memory: --headless {headless_peak / 1024:.1f} MiB, window {windowed_peak / 1024:.1f} MiB, "
          f"ratio {headless_peak / windowed_peak:.2f} (goal < 0.5)")
    print(f"--headless processor time over {args.idle:.0f} s idle, auto refresh at 1 minute: {idle_cpu:.2f} s "
          f"(goal < 0.1 s)")
    line = f"--once start to exit, median of {args.runs}: {once * 1000:.1f} ms (goal < 100 ms); /bin/true " \
           f"{true * 1000:.1f} ms, ratio {once / true:.0f}"
    if reference:
        line += f"; minimal QCoreApplication {reference * 1000:.1f} ms, ratio {once / reference:.1f}"
    print(line)
    if fetch_command:
        print(f"--once of the headless executable beside a Qt program that fetches one URL, medians of {args.runs}: "
              f"{once_use[0] / 1024:.1f} MiB, {once_use[1] * 1000:.0f} ms beside {fetch_use[0] / 1024:.1f} MiB, "
              f"{fetch_use[1] * 1000:.0f} ms: memory {once_use[0] / fetch_use[0]:.2f}, "
              f"processor {once_use[1] / fetch_use[1]:.2f} (goal memory < 1.2, processor < 1.5)")
        if once_instructions and fetch_instructions:
            print(f"instructions, one run under callgrind: --once {once_instructions / 1e6:.0f} M, fetch "
                  f"{fetch_instructions / 1e6:.0f} M, processor {once_instructions / fetch_instructions:.2f}")


if __name__ == "__main__":
    main()
