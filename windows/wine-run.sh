#!/bin/sh
# Runs a Windows program under wine64 in a fresh Wine prefix that is removed afterwards.
#
#   windows/wine-run.sh [--xvfb] PROGRAM.exe [ARGUMENTS...]
#
# The environment Wine needs to stay quiet and offline: WINEDEBUG=-all, no Mono or Gecko prompts, and
# Qt's own QT_* variables passed on with the WINE prefix Qt reads under Wine (QT_QPA_PLATFORM becomes
# WINEQT_QPA_PLATFORM), its messages on standard error; VISTREL_UNDER_WINE=1 tells a test where it runs. The Qt
# and MinGW libraries are found through WINEPATH: VISTREL_WINDOWS_PREFIXES names the folders of Qt and the other
# libraries, separated by ';' (each one's bin/ holds its DLLs), for programs that have not got them beside them.
# --xvfb starts the program on a display of its own (Xvfb) for the windows platform plugin.
# VISTREL_WINEPREFIX: use that prefix (made on first use) and keep it, for several commands in one prefix; each
# command then returns once every process it started has ended (a setup program's uninstaller runs a copy of
# itself).
# The exit status is the program's.
set -eu

xvfb=
if [ "${1:-}" = --xvfb ]; then
    xvfb=1
    shift
fi
[ $# -ge 1 ] || { echo "usage: $0 [--xvfb] PROGRAM.exe [ARGUMENTS...]" >&2; exit 64; }

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEQT_FORCE_STDERR_LOGGING=1 VISTREL_UNDER_WINE=1

# Offscreen needs fonts from a folder; Wine drops QT_* from the environment, WINEQT_* reaches Qt.
: "${QT_QPA_FONTDIR:=/usr/share/fonts/truetype/dejavu}"
export QT_QPA_FONTDIR
for name in $(env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=.*/\1/p'); do
    eval "export WINE$name=\"\$$name\""
done
WINEQT_QPA_FONTDIR="Z:$(printf %s "$QT_QPA_FONTDIR" | tr / '\\')"
export WINEQT_QPA_FONTDIR

libs="Z:/usr/lib/gcc/x86_64-w64-mingw32/12-posix;Z:/usr/x86_64-w64-mingw32/lib"
for prefix in $(printf %s "${VISTREL_WINDOWS_PREFIXES:-}" | tr ';' ' '); do
    libs="Z:$prefix/bin;$libs"
done
export WINEPATH="${WINEPATH:+$WINEPATH;}$libs"

if [ -n "${VISTREL_WINEPREFIX:-}" ]; then
    export WINEPREFIX="$VISTREL_WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    keep=1
else
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vistrel-wine-XXXXXX")
    export WINEPREFIX
    keep=
fi
cleanup()
{
    if [ -n "$keep" ]; then
        "$WINESERVER" -w
    else
        "$WINESERVER" -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# A server that ends with the last process of the prefix, not seconds later.
"$WINESERVER" -p0
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot --init >/dev/null 2>&1
    # Temporary files on the Linux side of the file system (Z:), so that a path the program hands a Linux peer
    # names the same file there (tests/windows/peer_launcher.py drops the Z:).
    mkdir -p "$WINEPREFIX/temp"
    temp="Z:$(printf %s "$WINEPREFIX/temp" | tr / '\\')"
    for name in TEMP TMP; do
        "$WINE" reg add 'HKCU\Environment' /v $name /t REG_EXPAND_SZ /d "$temp" /f >/dev/null 2>&1
    done
fi

status=0
if [ -n "$xvfb" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$WINE" "$@" || status=$?
else
    "$WINE" "$@" || status=$?
fi
exit $status
