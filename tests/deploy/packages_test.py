#!/usr/bin/python3
"""The container image and the Debian package as a user gets them, against nginx_peer.py on 127.0.0.1 as the
address service. Run inside a network namespace with only loopback (make test-packages).
The image: its archive read as a runtime reads it (index, manifest, config, each blob's digest), its layer unpacked
and started as its config says (entry point, command, environment, user, the /config volume bound from a folder
here) in a mount namespace of its own, chroot'ed: podman cannot start containers on this machine (no cgroup v2).
The package: the clean Debian 12 root it was installed into by apt (--root), its programs started there.
Usage: packages_test.py --image ARCHIVE --root FOLDER. Each case prints its name; the first failure ends the run."""
import argparse, hashlib, json, os, shutil, signal, subprocess, sys, tarfile, tempfile, time

PEERS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "peers")
WORK = tempfile.mkdtemp(prefix="vistrel-packages-")
SIZE_LIMIT = 40_000_000  # the image, uncompressed
RUNNING = []


def check(ok, what, detail=""):
    if not ok:
        for process in RUNNING:
            process.kill()
        sys.exit(f"FAIL: {what}\n{detail}")
    print(f"ok: {what}", flush=True)


def read_image(archive):
    """The config and the unpacked root of the one image in ARCHIVE, every blob checked against its digest."""
    with tarfile.open(archive) as tar:
        def blob(digest):
            data = tar.extractfile("blobs/sha256/" + digest.removeprefix("sha256:")).read()
            check("sha256:" + hashlib.sha256(data).hexdigest() == digest, f"blob {digest[:19]} has its digest")
            return data
        index = json.load(tar.extractfile("index.json"))
        manifest = json.loads(blob(index["manifests"][0]["digest"]))
        config = json.loads(blob(manifest["config"]["digest"]))
        layers = [blob(layer["digest"]) for layer in manifest["layers"]]
    check(sum(map(len, layers)) < SIZE_LIMIT, f"image under {SIZE_LIMIT // 1_000_000} MB",
          f"{sum(map(len, layers))} bytes")
    root = os.path.join(WORK, "image")
    for layer in layers:
        with tarfile.open(fileobj=__import__("io").BytesIO(layer)) as tar:
            tar.extractall(root, numeric_owner=True)
    return config["config"], root


def in_root(root, command, env, user=None, binds=()):
    """COMMAND started in ROOT with only ENV, /proc and a /tmp of its own, and BINDS (folder, where) mounted."""
    mounts = [f"mount --bind '{folder}' '{root}{where}'" for folder, where in binds]
    mounts += [f"mount -t proc proc '{root}/proc'", f"mount -t tmpfs tmpfs '{root}/tmp'"]
    chroot = ["/usr/sbin/chroot", *([f"--userspec={user}"] if user else []), root, *command]
    process = subprocess.Popen(["unshare", "-m", "sh", "-c", " && ".join(mounts) + ' && exec env -i "$@"', "sh",
                                *[f"{k}={v}" for k, v in env.items()], *chroot], stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    RUNNING.append(process)
    return process


def run(process, timeout=30):
    out, err = process.communicate(timeout=timeout)
    return process.returncode, out + err


def serve(root, address):
    with open(os.path.join(root, "ip"), "w") as f:
        f.write(address)


def podman_takes(archive, config):
    """podman loads the archive and reads the same config from it (it cannot run it here)."""
    loaded = subprocess.run(["podman", "load", "-q", "-i", archive], capture_output=True, text=True)
    reference = loaded.stdout.split("Loaded image:")[-1].strip()
    check(loaded.returncode == 0 and reference, "podman loads the archive", loaded.stdout + loaded.stderr)
    try:
        seen = json.loads(subprocess.run(["podman", "image", "inspect", reference], capture_output=True,
                                         text=True).stdout)[0]["Config"]
        check(seen["User"] == config["User"] and seen["Entrypoint"] == config["Entrypoint"], "podman reads its config",
              str(seen))
    finally:
        subprocess.run(["podman", "rmi", "-f", reference], capture_output=True)


def test_image(archive, url, bad_url, body):
    config, root = read_image(archive)
    if shutil.which("podman"):
        podman_takes(archive, config)
    check(config["User"] not in ("", "0", "root") and not config["User"].startswith("0:"), "runs as a user",
          config["User"])
    check(config["Cmd"] == ["--headless"] and "/config" in config["Volumes"], "--headless with the /config volume")
    check(config["Healthcheck"]["Test"] == ["CMD", *config["Entrypoint"], "--health"], "health check runs --health")
    volume = os.path.join(WORK, "config")
    os.mkdir(volume)
    os.chown(volume, *map(int, config["User"].split(":")))
    env = dict(item.split("=", 1) for item in config["Env"])
    env.update(VISTREL_ADDRESS_SOURCES=url)

    def start(*args, sources=url):
        return in_root(root, [*config["Entrypoint"], *(args or config["Cmd"])], {**env,
                       "VISTREL_ADDRESS_SOURCES": sources}, config["User"], [(volume, "/config")])

    def health():
        return run(start("--health"))

    serve(body, "203.0.113.7")
    status, output = run(start("--once"))
    check(status == 0 and "Finished looking up" in output, "--once finds the address", output)
    status, output = health()
    check(status == 0 and output.startswith("healthy") and output.count("\n") == 1, "healthy after it", output)
    settings = [name for name in os.listdir(volume) if name.endswith(".conf")]
    check(settings and "203.0.113.7" in open(os.path.join(volume, settings[0])).read(), "settings in the volume",
          str(os.listdir(volume)))
    serve(body, "203.0.113.8")
    status, output = run(start("--once"))
    check(status == 1 and "203.0.113.7 -> 203.0.113.8" in output, "the volume kept the address: a change", output)
    status, output = run(start("--once", sources=bad_url))
    check(status == 3, "--once fails on a refusing source", output)
    status, output = health()
    check(status == 1 and output.startswith("unhealthy: the last lookup failed"), "unhealthy after it", output)

    watcher = start()  # the image's command: --headless
    state = os.path.join(volume, "Tarnwick IP Vistrel", "last-lookup")
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline and not open(state).read().startswith("ok"):
        time.sleep(0.05)
    check(health()[0] == 0, "--headless looks up at start", open(state).read())
    started = time.monotonic()
    watcher.send_signal(signal.SIGTERM)
    status, output = run(watcher, timeout=5)
    took = time.monotonic() - started
    check(status == 0 and took < 1.0, f"SIGTERM ends --headless with 0 in {took:.2f} s", output)


def test_package(root, url):
    installed = ["usr/bin/tarnwick-ip-vistrel", "usr/bin/tarnwick-ip-vistrel-headless",
                 "usr/share/applications/tarnwick-ip-vistrel.desktop",
                 "usr/share/metainfo/tarnwick-ip-vistrel.metainfo.xml",
                 "usr/share/icons/hicolor/48x48/apps/tarnwick-ip-vistrel.png",
                 "usr/share/icons/hicolor/scalable/apps/tarnwick-ip-vistrel.svg",
                 "usr/share/man/man1/tarnwick-ip-vistrel.1.gz", "usr/lib/systemd/user/tarnwick-ip-vistrel.service"]
    missing = [path for path in installed if not os.path.exists(os.path.join(root, path))]
    check(not missing, "the package installed its files", str(missing))
    unit = open(os.path.join(root, "usr/lib/systemd/user/tarnwick-ip-vistrel.service")).read()
    check("ExecStart=/usr/bin/tarnwick-ip-vistrel --headless" in unit, "the unit starts the installed program")
    env = {"PATH": "/usr/bin:/bin", "HOME": "/tmp", "XDG_CONFIG_HOME": "/tmp/config", "XDG_DATA_HOME": "/tmp/data",
           "XDG_RUNTIME_DIR": "/tmp", "VISTREL_ADDRESS_SOURCES": url}
    status, output = run(in_root(root, ["tarnwick-ip-vistrel", "--help"], env))
    check(status == 0 and "--headless" in output, "--help", output)
    # The window's program hands over to the headless one; --health reads what that one wrote.
    status, output = run(in_root(root, ["sh", "-c", "tarnwick-ip-vistrel --once && tarnwick-ip-vistrel --health"],
                                 env))
    check(status == 0 and output.startswith("healthy: ") and "Finished looking up" in output, "--once and --health",
          output)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--image", required=True)
    parser.add_argument("--root", required=True)
    args = parser.parse_args()
    body = os.path.join(WORK, "body")
    os.mkdir(body)
    nginx = subprocess.Popen(["/usr/bin/python3", os.path.join(PEERS, "nginx_peer.py"), "--root", body,
                              "--lifetime", "300"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    RUNNING.append(nginx)
    words = nginx.stdout.readline().split()
    check(words[:1] == ["PORT"], "nginx starts")
    url = f"http://127.0.0.1:{words[1]}/body/ip"
    try:
        test_image(args.image, url, f"http://127.0.0.1:{words[1]}/forbid/ip", body)
        test_package(os.path.abspath(args.root), url)
    finally:
        nginx.stdin.close()
        nginx.wait(timeout=10)
        shutil.rmtree(WORK, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
