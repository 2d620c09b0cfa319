#!/bin/sh
# Stages the Windows programs with everything they load into one folder, the content of the setup program
# and of the portable zip:
#
#   windows/stage.sh QT_DIR OUT_DIR PROGRAM.exe...
#
# QT_DIR is Qt for Windows (bin/ with its DLLs, plugins/). The DLLs are the programs' imports, followed
# through Qt's and MinGW's folders until none is missing (Windows' own DLLs are left out); beside them the Qt
# plugins a desktop program needs: the windows platform, the native style, Schannel TLS, SQLite, icons.
# Everything is stripped.
set -eu
[ $# -ge 3 ] || { echo "usage: $0 QT_DIR OUT_DIR PROGRAM.exe..." >&2; exit 64; }
qt=$1
out=$2
shift 2
TOOL=x86_64-w64-mingw32
search="$qt/bin /usr/lib/gcc/$TOOL/12-posix /usr/$TOOL/lib"

rm -rf "$out"
mkdir -p "$out"
for program in "$@"; do
    cp "$program" "$out/"
done
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll \
    tls/qcertonlybackend.dll sqldrivers/qsqlite.dll imageformats/qico.dll; do
    if [ -e "$qt/plugins/$plugin" ]; then
        mkdir -p "$out/$(dirname "$plugin")"
        cp "$qt/plugins/$plugin" "$out/$plugin"
    fi
done

# Imports of every PE file staged so far, until the set stops growing.
while :; do
    added=
    for dll in $(find "$out" -iname '*.exe' -o -iname '*.dll' | xargs -r -d '\n' "$TOOL-objdump" -p |
                 sed -n 's/^\s*DLL Name: //p' | sort -u); do
        [ -e "$out/$dll" ] && continue
        for dir in $search; do
            if [ -e "$dir/$dll" ]; then
                cp "$dir/$dll" "$out/"
                added=1
                break
            fi
        done
    done
    [ -n "$added" ] || break
done
find "$out" \( -iname '*.exe' -o -iname '*.dll' \) -exec "$TOOL-strip" --strip-unneeded {} +
