#!/usr/bin/python3
"""Runs nginx on 127.0.0.1 for the tests and stops it by itself.

It serves the address service from deploy/nginx/address-service.conf, the files of --root under
/body/, answers "ok" under /hook/, and logs each request's URI, agent and cache headers, tab
separated, to <work>/access.log. Prints "PORT <port> LOG <path>" once nginx answers. nginx stops
when standard input closes (the test ended or died) or after --lifetime seconds.
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from peerlib import free_port, wait_for_end

HERE = os.path.dirname(os.path.abspath(__file__))
DEPLOY = os.path.join(HERE, "..", "..", "deploy", "nginx", "address-service.conf")

CONFIG = """
daemon off;
master_process off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
events {{ worker_connections 64; }}
http {{
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    log_format vistrel '$request_uri\\t$http_user_agent\\t$http_cache_control\\t$http_pragma';
    access_log {work}/access.log vistrel;
    server {{
        listen 127.0.0.1:{port};
        include {deploy};
        location /body/ {{
            alias {root}/;
            default_type text/plain;
        }}
        location /hook/ {{
            default_type text/plain;
            return 200 "ok";
        }}
    }}
}}
"""


def wait_for(port, process, seconds=10.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.02)
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--lifetime", type=float, default=600.0)
    args = parser.parse_args()
    nginx = shutil.which("nginx") or "/usr/sbin/nginx"
    work = tempfile.mkdtemp(prefix="vistrel-nginx-")
    for attempt in range(5):
        port = free_port()
        with open(os.path.join(work, "nginx.conf"), "w") as f:
            f.write(CONFIG.format(work=work, port=port, root=os.path.abspath(args.root),
                                  deploy=os.path.abspath(DEPLOY)))
        process = subprocess.Popen([nginx, "-p", work, "-c", os.path.join(work, "nginx.conf")],
                                   stdin=subprocess.DEVNULL)
        if wait_for(port, process):
            break
        process.kill()
        process.wait()
    else:
        log = os.path.join(work, "error.log")
        if os.path.exists(log):
            sys.stderr.write(open(log).read())
        shutil.rmtree(work, ignore_errors=True)
        print("FAILED", flush=True)
        return 1
    print(f"PORT {port} LOG {work}/access.log", flush=True)
    try:
        wait_for_end(args.lifetime)
    finally:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
