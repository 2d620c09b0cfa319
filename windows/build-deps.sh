#!/bin/sh
# Cross-builds the program's Windows dependencies (Qt, c-ares, OpenSSL, libmosquitto, ldns) from Debian's own source
# packages, each into a folder of the cache named after its version and a short hash of its options:
#   ${VISTREL_WINDOWS_CACHE:-$HOME/.cache/tarnwick-ip-vistrel/windows}/<name>-<version>-<hash>/
# A folder that is complete (it holds .complete) is used as it is; delete it to build it again.
# Qt comes from a prebuilt tarball when VISTREL_WINDOWS_QT_TARBALL (default below) is present and its checksum
# matches; otherwise it is built from source (about 35 minutes on two cores).
# Prints the prefixes, separated by ';', on its last line of standard output (for CMAKE_PREFIX_PATH).
#
#   VISTREL_QT_SOURCE_CHECK=1  fetches and mends Qt's source, then stops (to try the from-source path quickly).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
toolchain="$here/mingw64-toolchain.cmake"
cache=${VISTREL_WINDOWS_CACHE:-$HOME/.cache/tarnwick-ip-vistrel/windows}
# The shared folder beside the project's clone holds the prebuilt Qt.
qt_tarball=${VISTREL_WINDOWS_QT_TARBALL:-$(dirname "$here")/../shared/windows/qt-6.4.2-mingw64-w64.tar.xz}
qt_tarball_sha256=81549c563cbac9e70be9fbef5fa4e1912fef7fdf4f9fdd486464728be27bd6b4
jobs=${JOBS:-$(nproc)}
mingw=x86_64-w64-mingw32
mkdir -p "$cache/src"

log() { echo "build-deps: $*" >&2; }

# Short hash of the options, the toolchain and the compiler, so that a change of any of them builds anew.
key() {
    { echo "$*"; cat "$toolchain"; $mingw-g++-posix --version | head -n1; } | sha256sum | cut -c1-10
}

# apt knows bookworm's source packages (a deb-src entry is added when there is none).
source_packages() {
    if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        log "adding bookworm's source packages to apt"
        SUDO=$( [ "$(id -u)" = 0 ] || echo sudo )
        for suite in "debian bookworm bookworm-updates" "debian-security bookworm-security"; do
            set -- $suite
            printf 'Types: deb-src\nURIs: http://deb.debian.org/%s\nSuites: %s\nComponents: main\nSigned-By: %s\n\n' \
                "$1" "$(shift; echo "$@")" /usr/share/keyrings/debian-archive-keyring.gpg
        done | $SUDO tee /etc/apt/sources.list.d/vistrel-deb-src.sources >/dev/null
        $SUDO apt-get update -qq
    fi
}

# Debian's source package $1 (version $2) unpacked (Debian's patches applied) in $cache/src; prints its folder.
fetch_source() {
    dir="$cache/src/$1-$2"
    if [ ! -f "$dir/.fetched" ]; then
        source_packages
        rm -rf "$dir" "$dir.tmp"
        mkdir -p "$dir.tmp"
        # (set -e does not hold inside a function called as a condition: every step says how it went)
        (cd "$dir.tmp" && apt-get source -qq "$1=$2" >&2) || { rm -rf "$dir.tmp"; return 1; }
        mv "$(find "$dir.tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)" "$dir" && rm -rf "$dir.tmp" &&
            touch "$dir/.fetched" || return 1
    fi
    echo "$dir"
}

# The newest version of Debian's source package $1 that can be fetched (the archive may list versions it no longer
# serves), fetched; remembered in the cache so that later runs ask nothing.
source_version() {
    if [ ! -s "$cache/src/$1.version" ]; then
        source_packages
        for version in $(apt-cache showsrc "$1" | awk '/^Version:/ { print $2 }' | sort -rV); do
            if fetch_source "$1" "$version" >/dev/null 2>&1; then
                echo "$version" >"$cache/src/$1.version"
                break
            fi
            log "$1 $version cannot be fetched"
        done
    fi
    cat "$cache/src/$1.version" 2>/dev/null || true
}

upstream() { echo "$1" | sed 's/^[0-9]*://; s/-[^-]*$//; s/+dfsg.*//'; }

cmake_cross() {
    cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release "$@" >&2
}

# ---- Qt (base module: Core, Gui, Widgets, Network with Schannel, Sql with SQLite, Test) ----
qt_version=6.4.2
qt_debian=6.4.2+dfsg-10
qt_options="-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release
 -DBUILD_SHARED_LIBS=ON -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DFEATURE_pkg_config=OFF -DFEATURE_dbus=OFF
 -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
 -DFEATURE_xml=OFF -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON -DFEATURE_sql_sqlite=ON
 -DFEATURE_system_sqlite=OFF -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF
 -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF -DFEATURE_sql_mimer=OFF -DINPUT_openssl=no
 -DFEATURE_schannel=ON -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
 -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
 -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_md4c=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF"
qt="$cache/qt-$qt_version-$(key "$qt_options")"

build_qt() {
    if [ "${VISTREL_QT_SOURCE_CHECK:-0}" != 1 ] && [ -f "$qt_tarball" ] && echo "$qt_tarball_sha256  $qt_tarball" | sha256sum -c --status; then
        log "Qt from $qt_tarball"
        rm -rf "$qt" && mkdir -p "$qt"
        tar -xJf "$qt_tarball" -C "$qt" --strip-components=1
        touch "$qt/.complete"
        return
    fi
    if [ "${VISTREL_QT_SOURCE_CHECK:-0}" = 1 ]; then
        log "Qt's source: fetching and mending only"
    else
        log "Qt from Debian's source (no matching prebuilt tarball at $qt_tarball)"
    fi
    [ "$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null)" = "$qt_debian" ] ||
        { log "the host Qt must be qt6-base-dev $qt_debian"; exit 1; }
    src=$(fetch_source qt6-base "$qt_debian")
    if [ ! -f "$src/src/3rdparty/sqlite/sqlite3.c" ]; then
        # Debian's tarball leaves SQLite out: make the amalgamation from Debian's sqlite3 source package.
        sqlite=$(fetch_source sqlite3 "$(source_version sqlite3)")
        (cd "$sqlite" && { [ -f sqlite3.c ] || { ./configure >/dev/null && make sqlite3.c >/dev/null; }; }) >&2
        mkdir -p "$src/src/3rdparty/sqlite"
        cp "$sqlite/sqlite3.c" "$sqlite/sqlite3.h" "$src/src/3rdparty/sqlite/"
    fi
    # Without Direct2D, the DirectWrite 3 font database is not built but still referred to.
    integration="$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration"
    [ "$(grep -c '^#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)$' "$integration")" = 2 ] ||
        { log "the DirectWrite mend no longer applies to $integration"; exit 1; }
    if [ "${VISTREL_QT_SOURCE_CHECK:-0}" = 1 ]; then
        log "Qt's source is ready in $src (check only, not built)"
        exit 0
    fi
    rm -rf "$src/build-windows" "$qt"
    # shellcheck disable=SC2086 # the options are words
    cmake_cross -S "$src" -B "$src/build-windows" -DCMAKE_INSTALL_PREFIX="$qt" $qt_options
    cmake --build "$src/build-windows" -j "$jobs" >&2
    cmake --install "$src/build-windows" >&2
    rm -rf "$src/build-windows"
    touch "$qt/.complete"
}

# ---- c-ares (DNS address sources) ----
cares_debian=$(source_version c-ares)
# Debian's fix of CVE-2023-31130 uses INADDRSZ, which only glibc's <arpa/nameser_compat.h> defines.
cares_options="-DCMAKE_C_FLAGS=-DINADDRSZ=4 -DCARES_SHARED=ON -DCARES_STATIC=OFF -DCARES_BUILD_TOOLS=OFF -DCARES_BUILD_TESTS=OFF"
cares="$cache/c-ares-$(upstream "$cares_debian")-$(key "$cares_options")"

build_cares() {
    src=$(fetch_source c-ares "$cares_debian")
    rm -rf "$src/build-windows" "$cares"
    # shellcheck disable=SC2086
    cmake_cross -S "$src" -B "$src/build-windows" -DCMAKE_INSTALL_PREFIX="$cares" $cares_options
    cmake --build "$src/build-windows" -j "$jobs" >&2
    cmake --install "$src/build-windows" >&2
    rm -rf "$src/build-windows"
    touch "$cares/.complete"
}

# ---- OpenSSL 3 libcrypto (the SSL 2.0 channel's MD5, RC4, RSA and random bytes) ----
# no-module links the legacy provider (RC4) into libcrypto, so no module folder must be found at run time.
openssl_debian=$(source_version openssl)
openssl_options="mingw64 shared no-module no-tests no-ui-console"
openssl="$cache/openssl-$(upstream "$openssl_debian")-$(key "$openssl_options")"

build_openssl() {
    src=$(fetch_source openssl "$openssl_debian")
    rm -rf "$src/build-windows" "$openssl"
    mkdir -p "$src/build-windows"
    # shellcheck disable=SC2086
    (cd "$src/build-windows" &&
        CC=$mingw-gcc-posix AR=$mingw-gcc-ar-posix RANLIB=$mingw-gcc-ranlib-posix RC=$mingw-windres \
            ../Configure $openssl_options --prefix="$openssl" --libdir=lib &&
        make -j "$jobs" build_libs && make install_dev) >/dev/null
    rm -rf "$src/build-windows"
    touch "$openssl/.complete"
}

# ---- libmosquitto (MQTT): the client library alone, no threads (MqttSession drives it from the event loop) ----
# OpenSSL is built without its console prompts: a key's password cannot be asked for (the program sets no client key).
mosquitto_debian=$(source_version mosquitto)
mosquitto_options="-DCMAKE_C_FLAGS=-DUI_OpenSSL=UI_null -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF
 -DWITH_PLUGINS=OFF -DWITH_LIB_CPP=OFF -DWITH_THREADING=OFF -DWITH_CJSON=OFF -DWITH_SRV=OFF -DDOCUMENTATION=OFF"
mosquitto="$cache/mosquitto-$(upstream "$mosquitto_debian")-$(key "$mosquitto_options $openssl")"

build_mosquitto() {
    src=$(fetch_source mosquitto "$mosquitto_debian")
    rm -rf "$src/build-windows" "$mosquitto"
    # shellcheck disable=SC2086
    cmake_cross -S "$src" -B "$src/build-windows" -DCMAKE_INSTALL_PREFIX="$mosquitto" -DCMAKE_PREFIX_PATH="$openssl" \
        $mosquitto_options
    cmake --build "$src/build-windows" -j "$jobs" >&2
    cmake --install "$src/build-windows" >&2
    # Its install leaves out the DLL's import library, and names the C++ library it did not build.
    cp "$src/build-windows/lib/libmosquitto.dll.a" "$mosquitto/lib/"
    rm -f "$mosquitto/lib/pkgconfig/libmosquittopp.pc"
    rm -rf "$src/build-windows"
    touch "$mosquitto/.complete"
}

# ---- ldns (DNS UPDATE's messages and TSIG), on the same libcrypto (without console prompts, as above) ----
ldns_debian=$(source_version ldns)
ldns_options="--disable-static --enable-shared --without-drill --without-examples --without-pyldns
 --without-p5-dns-ldns --disable-gost --disable-dane CFLAGS=-O2
 CPPFLAGS=-DUI_OpenSSL=UI_null"
ldns="$cache/ldns-$(upstream "$ldns_debian")-$(key "$ldns_options $openssl")"

build_ldns() {
    src=$(fetch_source ldns "$ldns_debian")
    # edns.c alone does not start with config.h, which brings the Winsock headers (socklen_t) on Windows.
    grep -q '^#include <ldns/config.h>' "$src/edns.c" ||
        sed -i '0,/^#include <ldns\/ldns.h>/s//#include <ldns\/config.h>\n&/' "$src/edns.c"
    grep -q '^#include <ldns/config.h>' "$src/edns.c" || { log "the edns.c mend no longer applies"; exit 1; }
    # The public net.h uses socklen_t, struct sockaddr_storage and struct timeval without the Winsock headers that
    # define them on Windows.
    grep -q '^#include <ws2tcpip.h>' "$src/ldns/net.h.in" ||
        sed -i 's/^@include_sys_socket_h@$/&\n#include <winsock2.h>\n#include <ws2tcpip.h>/' "$src/ldns/net.h.in"
    grep -q '^#include <ws2tcpip.h>' "$src/ldns/net.h.in" || { log "the net.h mend no longer applies"; exit 1; }
    rm -rf "$src/build-windows" "$ldns"
    mkdir -p "$src/build-windows"
    # shellcheck disable=SC2086
    (cd "$src/build-windows" &&
        ../configure --host=$mingw CC=$mingw-gcc-posix AR=$mingw-gcc-ar-posix RANLIB=$mingw-gcc-ranlib-posix \
            --prefix="$ldns" --with-ssl="$openssl" $ldns_options &&
        make -j "$jobs" && make install) >/dev/null
    rm -rf "$src/build-windows"
    touch "$ldns/.complete"
}

if [ "${VISTREL_QT_SOURCE_CHECK:-0}" = 1 ]; then
    build_qt
fi
for dep in qt cares openssl mosquitto ldns; do
    eval "prefix=\$$dep"
    if [ -z "$prefix" ]; then
        log "no source of $dep can be fetched: the build goes on without it"
    elif [ -f "$prefix/.complete" ]; then
        log "$(basename "$prefix") is in the cache"
    else
        start=$(date +%s)
        "build_$dep"
        log "$(basename "$prefix") built in $(( $(date +%s) - start )) s"
    fi
done
echo "$qt;$cares;$openssl;$mosquitto;$ldns"
