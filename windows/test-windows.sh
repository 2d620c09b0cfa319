#!/bin/sh
# The Windows build's tests under Wine, then the setup program's check:
#
#   windows/test-windows.sh BUILD_DIR [CTEST ARGUMENTS...]
#
# BUILD_DIR is the cross-built tree (build-windows/); its CTest tests run through windows/wine-run.sh, each in a
# fresh Wine prefix of its own (a test's settings live in its prefix's registry, and tests run side by side),
# with the peers of tests/peers/ started on the Linux side by tests/windows/peer_launcher.py. Everything runs
# in a network namespace with only a loopback device: nothing the tests start reaches past this machine.
# The setup program's check runs when BUILD_DIR/dist holds one (windows/package.sh), against BUILD_DIR/stage.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [CTEST ARGUMENTS...]" >&2; exit 64; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "$1" && pwd)
shift

# The DLLs of Qt and the other libraries for the test programs in the tree's subfolders: the prefixes the tree
# was configured with.
VISTREL_WINDOWS_PREFIXES=${VISTREL_WINDOWS_PREFIXES:-$(sed -n 's|^CMAKE_PREFIX_PATH:[A-Z]*=||p' "$build/CMakeCache.txt")}
export VISTREL_WINDOWS_PREFIXES
cmake "$build" -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh" >/dev/null

# Tests that cannot run under Wine, and why:
#   desktop_session          the Linux desktop's services (D-Bus session bus, notification daemon, AT-SPI)
#   tst_passwordstore_       the Secret Service (gnome-keyring on D-Bus)
#   unit_verifies            the systemd user unit (systemd-analyze)
#   manual_page_lints        the manual page, a Linux document (checked by `make test`)
#   tst_networkchange        netlink address events inside `unshare -n`: Wine has no counterpart to drive
#   headless_modes           POSIX signals (SIGTERM, SIGHUP) and exit statuses of Linux processes
#   settings_survive_kill    kills the program with SIGKILL mid-write of its settings file
#   metrics_prometheus       the script ends the watcher with SIGKILL, which under Wine would leave the Windows process
#                            behind wine-run.sh (tst_metrics serves the same text over loopback under Wine,
#                            tst_lookuphealth checks the health pings)
#   overlay_window_manager   X11 window manager hints (_NET_WM_STATE) read with xprop under openbox
skip='^(desktop_session|tst_passwordstore_.*|unit_verifies|manual_page_lints|tst_networkchange|headless_modes|settings_survive_kill|metrics_prometheus|overlay_window_manager'
# Tests that need a console: Wine gives a program one when it runs on a terminal, which `script` provides.
console_tests="tst_consoleevents"
skip="$skip|$(echo $console_tests | tr ' ' '|'))\$"

in_namespace()
{
    unshare -n sh -c 'ip link set lo up && exec "$0" "$@"' "$@"
}

status=0
in_namespace /usr/bin/python3 "$root/tests/windows/peer_launcher.py" \
    ctest --test-dir "$build" --output-on-failure -E "$skip" "$@" || status=$?
for name in $console_tests; do
    program=$(find "$build/tests" -name "$name.exe" | head -n 1)
    [ -n "$program" ] || continue
    start=$(date +%s)
    if in_namespace script -qefc "QT_QPA_PLATFORM=offscreen '$here/wine-run.sh' '$program'" /dev/null </dev/null >/dev/null; then
        echo "$name (on a terminal): passed, $(($(date +%s) - start)) s"
    else
        echo "$name (on a terminal): FAILED" >&2
        status=1
    fi
done

setup=$(ls "$build"/dist/Tarnwick-IP-Vistrel-*-setup.exe 2>/dev/null | head -n 1)
if [ -n "$setup" ]; then
    start=$(date +%s)
    in_namespace /usr/bin/python3 "$root/tests/windows/installer_test.py" "$setup" "$build/stage" \
        ${VISTREL_INSTALLED_EXPECT:+--expect "$VISTREL_INSTALLED_EXPECT"} || status=$?
    echo "installer check: $(($(date +%s) - start)) s"
else
    echo "no setup program in $build/dist: run windows/package.sh first" >&2
    status=1
fi
exit $status
