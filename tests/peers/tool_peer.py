#!/usr/bin/python3
"""Runs a server's client tool on this machine for a test that cannot start it itself (the Windows build under
Wine). Usage: tool_peer.py TOOL ARGUMENTS... (TOOL: mosquitto_sub, dig or kdig): runs it to its end (at most 30 s),
prints "STATUS <exit status>", then the tool's standard output."""
import subprocess, sys
from peerlib import emit


def main():
    if sys.argv[1] not in ("mosquitto_sub", "dig", "kdig"):
        return emit("FAILED not a tool of the tests")
    run = subprocess.run(sys.argv[1:], stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    emit(f"STATUS {run.returncode}\n{run.stdout.decode(errors='replace')}")


if __name__ == "__main__":
    main()
