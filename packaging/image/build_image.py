#!/usr/bin/python3
"""Builds the headless watcher's container image from this machine's files, offline: the executable (stripped), the
libraries and Qt plugins it loads (found with ldd), the program's modules beside it in the build folder (with what
they load), CA certificates and time zones, a user of its own, as an OCI
archive that `podman load` and `docker load` take.
Usage: build_image.py --binary BUILD/tarnwick-ip-vistrel-headless --version 3.3 --output FILE.tar"""
import argparse, glob, hashlib, io, json, os, re, shutil, subprocess, sys, tarfile, tempfile

NAME = "tarnwick-ip-vistrel"
EXECUTABLE = f"/usr/bin/{NAME}-headless"
LIBDIR = "/usr/lib/x86_64-linux-gnu"
PLUGINS = [f"{LIBDIR}/qt6/plugins/tls/libqopensslbackend.so", f"{LIBDIR}/qt6/plugins/tls/libqcertonlybackend.so",
           f"{LIBDIR}/qt6/plugins/sqldrivers/libqsqlite.so"]
# Where the executable looks for its modules (platform/Modules.cpp, VISTREL_MODULE_INSTALL_DIR), relative to it.
MODULES = f"{LIBDIR}/{NAME}"
USER_ID = 10001
# Settings, history and the last lookup's outcome all live in the one volume.
ENVIRONMENT = ["PATH=/usr/bin", "HOME=/config", "XDG_CONFIG_HOME=/config", "XDG_DATA_HOME=/config",
               "XDG_RUNTIME_DIR=/run/vistrel", "TZ=UTC"]
SECONDS = 1_000_000_000  # the health check's times are in nanoseconds
EPOCH = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))  # every file's time: the same input gives the same image


def libraries(files):
    """What the dynamic loader brings in for FILES, as paths on this machine (the loader itself included)."""
    found = set()
    for file in files:
        for line in subprocess.run(["ldd", file], capture_output=True, text=True, check=True).stdout.splitlines():
            match = re.search(r"(/\S+) \(0x", line)
            if match:
                found.add(match.group(1))
    return sorted(found)


def usr(path):
    """Debian merged /lib into /usr/lib: one place for each file in the image."""
    return "/usr" + path if path.startswith(("/lib/", "/lib64/")) else path


def assemble(root, binary):
    def put(source, target, mode=None):
        os.makedirs(os.path.dirname(root + target), exist_ok=True)
        shutil.copyfile(source, root + target)
        os.chmod(root + target, mode if mode is not None else (0o755 if os.access(source, os.X_OK) else 0o644))

    def link(target, name):
        os.makedirs(os.path.dirname(root + name), exist_ok=True)
        os.symlink(target, root + name)

    def text(name, content, mode=0o644):
        os.makedirs(os.path.dirname(root + name), exist_ok=True)
        with open(root + name, "w") as f:
            f.write(content)
        os.chmod(root + name, mode)

    put(binary, EXECUTABLE, 0o755)
    subprocess.run(["strip", "--strip-unneeded", root + EXECUTABLE], check=True)
    for plugin in PLUGINS:
        put(plugin, plugin, 0o644)
    modules = sorted(glob.glob(os.path.join(os.path.dirname(binary), "vistrel-*.so")))
    for module in modules:
        put(module, f"{MODULES}/{os.path.basename(module)}", 0o644)
        subprocess.run(["strip", "--strip-unneeded", f"{root}{MODULES}/{os.path.basename(module)}"], check=True)
    icu_data = None
    for library in libraries([binary, *PLUGINS, *modules]):
        if re.search(r"/libicudata\.so\.\d+$", library):
            icu_data = library
            continue
        put(os.path.realpath(library), usr(library), 0o755 if "/ld-linux" in library else 0o644)
    if icu_data:  # the same name, none of the data (icudata-stub.c)
        version = icu_data.rsplit(".", 1)[1]
        subprocess.run(["gcc", "-shared", "-fPIC", "-O2", f"-DICU_DATA_SYMBOL=icudt{version}_dat",
                        f"-Wl,-soname,libicudata.so.{version}", "-o", root + usr(icu_data),
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "icudata-stub.c")], check=True)
    link("usr/lib", "/lib")
    link("usr/lib64", "/lib64")

    put("/etc/ssl/certs/ca-certificates.crt", "/etc/ssl/certs/ca-certificates.crt", 0o644)
    link("/etc/ssl/certs", "/usr/lib/ssl/certs")  # where OpenSSL looks by default
    link("/etc/ssl/certs/ca-certificates.crt", "/usr/lib/ssl/cert.pem")
    for source in glob.glob("/usr/share/zoneinfo/**", recursive=True):
        relative = os.path.relpath(source, "/usr/share/zoneinfo")
        if relative.split(os.sep)[0] in ("right", "posix") or not os.path.isfile(source):
            continue  # leap-second and duplicate copies of every zone
        put(os.path.realpath(source), "/usr/share/zoneinfo/" + relative, 0o644)
    link("/usr/share/zoneinfo/Etc/UTC", "/etc/localtime")
    text("/etc/passwd", f"root:x:0:0:root:/root:/usr/bin/nologin\nvistrel:x:{USER_ID}:{USER_ID}:Tarnwick IP Vistrel:"
         "/config:/usr/bin/nologin\n")
    text("/etc/group", f"root:x:0:\nvistrel:x:{USER_ID}:\n")
    text("/etc/nsswitch.conf", "passwd: files\ngroup: files\nhosts: files dns\n")
    for folder, mode in (("/config", 0o700), ("/run/vistrel", 0o700), ("/tmp", 0o1777), ("/proc", 0o555),
                         ("/dev", 0o755), ("/sys", 0o555), ("/etc/ssl/private", 0o700)):
        os.makedirs(root + folder, exist_ok=True)
        os.chmod(root + folder, mode)


def layer(root):
    """The root as one uncompressed tar, in name order, owned by root but for the user's folders."""
    def owned(info):
        info.mtime = EPOCH
        mine = info.name in ("config", "run/vistrel")
        info.uid = info.gid = USER_ID if mine else 0
        info.uname = info.gname = "vistrel" if mine else "root"
        return info

    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as tar:
        for folder, folders, files in os.walk(root):
            folders.sort()
            for name in sorted(folders + files):
                path = os.path.join(folder, name)
                tar.add(path, arcname=os.path.relpath(path, root), recursive=False, filter=owned)
    return buffer.getvalue()


def blob(data):
    return "sha256:" + hashlib.sha256(data).hexdigest(), data


def archive(layer_bytes, version, output):
    layer_digest, _ = blob(layer_bytes)
    config = {
        "architecture": "amd64", "os": "linux",
        "created": "1970-01-01T00:00:00Z" if EPOCH == 0 else
        subprocess.run(["date", "-u", "-d", f"@{EPOCH}", "+%Y-%m-%dT%H:%M:%SZ"], capture_output=True,
                       text=True).stdout.strip(),
        "config": {
            "User": f"{USER_ID}:{USER_ID}", "Env": ENVIRONMENT, "Entrypoint": [EXECUTABLE], "Cmd": ["--headless"],
            "WorkingDir": "/config", "Volumes": {"/config": {}}, "StopSignal": "SIGTERM",
            # Read by Docker and by Podman from the image; compose.yaml repeats it for runtimes that ignore it.
            "Healthcheck": {"Test": ["CMD", EXECUTABLE, "--health"], "Interval": 60 * SECONDS,
                            "Timeout": 10 * SECONDS, "StartPeriod": 30 * SECONDS, "Retries": 3},
            "Labels": {"org.opencontainers.image.title": "Tarnwick IP Vistrel",
                       "org.opencontainers.image.version": version,
                       "org.opencontainers.image.description": "Watches the public and local IP addresses and "
                                                               "notifies on change, without a window"},
        },
        "rootfs": {"type": "layers", "diff_ids": [layer_digest]},
        "history": [{"created_by": "packaging/image/build_image.py"}],
    }
    config_digest, config_bytes = blob(json.dumps(config, indent=1, sort_keys=True).encode())
    manifest = {"schemaVersion": 2, "mediaType": "application/vnd.oci.image.manifest.v1+json",
                "config": {"mediaType": "application/vnd.oci.image.config.v1+json", "digest": config_digest,
                           "size": len(config_bytes)},
                "layers": [{"mediaType": "application/vnd.oci.image.layer.v1.tar", "digest": layer_digest,
                            "size": len(layer_bytes)}]}
    manifest_digest, manifest_bytes = blob(json.dumps(manifest, indent=1, sort_keys=True).encode())
    reference = f"localhost/{NAME}:{version}"
    index = {"schemaVersion": 2, "mediaType": "application/vnd.oci.image.index.v1+json",
             "manifests": [{"mediaType": manifest["mediaType"], "digest": manifest_digest, "size": len(manifest_bytes),
                            "annotations": {"org.opencontainers.image.ref.name": version,
                                            "io.containerd.image.name": reference}}]}
    entries = [("oci-layout", b'{"imageLayoutVersion":"1.0.0"}'),
               ("index.json", json.dumps(index, indent=1, sort_keys=True).encode())]
    entries += [("blobs/sha256/" + digest.split(":")[1], data) for digest, data in
                ((config_digest, config_bytes), (manifest_digest, manifest_bytes), (layer_digest, layer_bytes))]
    temporary = output + ".part"
    with tarfile.open(temporary, "w", format=tarfile.PAX_FORMAT) as tar:
        for folder in ("blobs", "blobs/sha256"):
            info = tarfile.TarInfo(folder)
            info.type, info.mode, info.mtime = tarfile.DIRTYPE, 0o755, EPOCH
            tar.addfile(info)
        for name, data in entries:
            info = tarfile.TarInfo(name)
            info.size, info.mode, info.mtime = len(data), 0o644, EPOCH
            tar.addfile(info, io.BytesIO(data))
    os.replace(temporary, output)
    return reference


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--output", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vistrel-image-") as root:
        os.umask(0o022)
        assemble(root, args.binary)
        layer_bytes = layer(root)
    reference = archive(layer_bytes, args.version, args.output)
    print(f"{args.output}: {reference}, {len(layer_bytes) / 1e6:.1f} MB uncompressed")


if __name__ == "__main__":
    sys.exit(main())
