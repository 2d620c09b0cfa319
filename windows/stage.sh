#!/bin/sh
# Puts beside the Windows executables in FOLDER what they need to start on a machine without Qt or MinGW: Qt's
# DLLs and plugins, the MinGW runtime, the dependencies' DLLs (all stripped) and Help.rtf.
#   stage.sh FOLDER PREFIXES [--tests]
# PREFIXES: the cache's prefixes separated by ';' (windows/build-deps.sh prints them); --tests adds Qt Test.
set -eu
folder=$1
prefixes=$2
tests=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
mingw=x86_64-w64-mingw32
strip=$mingw-strip

qt=$(echo "$prefixes" | tr ';' '\n' | grep '/qt-' | head -n1)
copy() { # copy FILE DESTINATION-FOLDER, stripped, only when it changed
    mkdir -p "$2"
    target="$2/$(basename "$1")"
    if [ ! -f "$target" ] || [ "$1" -nt "$target" ]; then
        cp "$1" "$target" && $strip --strip-unneeded "$target"
    fi
}

modules="Core Gui Widgets Network Sql"
[ "$tests" = --tests ] && modules="$modules Test"
for module in $modules; do
    copy "$qt/bin/Qt6$module.dll" "$folder"
done
for plugins in platforms styles tls sqldrivers imageformats; do
    for dll in "$qt/plugins/$plugins"/*.dll; do
        copy "$dll" "$folder/$plugins"
    done
done
# The MinGW runtime: C++ library, unwinder, threads.
gcc_dir=$(dirname "$($mingw-g++-posix -print-libgcc-file-name)")
copy "$gcc_dir/libstdc++-6.dll" "$folder"
copy "$gcc_dir/libgcc_s_seh-1.dll" "$folder"
copy "/usr/$mingw/lib/libwinpthread-1.dll" "$folder"
# The dependencies' own DLLs (c-ares, libcrypto, libmosquitto with libssl for MQTT over TLS, ldns); the other
# connections' TLS is Schannel's, through Qt.
for prefix in $(echo "$prefixes" | tr ';' ' '); do
    [ "$prefix" = "$qt" ] && continue
    for dll in "$prefix"/bin/*.dll; do
        [ -f "$dll" ] && copy "$dll" "$folder"
    done
done
cp "$here/../resources/Help.rtf" "$folder/"
