#!/usr/bin/python3
"""The watcher without a window against a local nginx, as ratios of one run:
  - peak resident memory (VmHWM) of --headless over that of the window (offscreen), 10 s after the first lookup;
  - processor time of --headless over --idle seconds with auto refresh at one minute;
  - --once from start to exit (median of --runs), over a minimal Qt program's start and exit (a QCoreApplication
    that quits at once: the program's own start-up is the part it can change) and over /bin/true.

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


def minimal_qt_program(work):
    source = os.path.join(work, "minimal.cpp")
    with open(source, "w") as f:
        f.write(MINIMAL_QT)
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "Qt6Core"], capture_output=True, text=True)
    binary = os.path.join(work, "minimal")
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


if __name__ == "__main__":
    main()
