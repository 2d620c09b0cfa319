#!/bin/sh
# The setup program and the portable zip from a staged folder (windows/stage.sh):
#
#   windows/package.sh STAGE_DIR OUT_DIR
#
# writes OUT_DIR/Tarnwick-IP-Vistrel-<version>-setup.exe and OUT_DIR/Tarnwick-IP-Vistrel-<version>-portable.zip,
# the version taken from the project's VERSION in CMakeLists.txt (3.3.0.0 is named 3.3.0).
set -eu
[ $# -eq 2 ] || { echo "usage: $0 STAGE_DIR OUT_DIR" >&2; exit 64; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
stage=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
[ -e "$stage/tarnwick-ip-vistrel.exe" ] || { echo "$stage has no tarnwick-ip-vistrel.exe" >&2; exit 66; }

version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
short=$(echo "$version" | sed 's/\.0$//')
base="Tarnwick-IP-Vistrel-$short"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The uninstaller deletes exactly the staged files, then their folders, deepest first.
(
    cd "$stage"
    find . -type f | sed 's|^\./||' | sort | tr / '\\' | sed 's/.*/    Delete "$INSTDIR\\&"/'
    find . -mindepth 1 -type d | sed 's|^\./||' | sort -r | tr / '\\' | sed 's/.*/    RMDir "$INSTDIR\\&"/'
) >"$work/files.nsh"

# The setup program's icon: the product's PNG pictures in one .ico (PNG entries, Windows Vista and later).
/usr/bin/python3 - "$root/resources/icons" "$work/product.ico" <<'PY'
import struct, sys
sizes = [16, 24, 32, 48, 256]
pictures = [open(f"{sys.argv[1]}/tarnwick-ip-vistrel-{s}.png", "rb").read() for s in sizes]
offset = 6 + 16 * len(sizes)
header = struct.pack("<HHH", 0, 1, len(sizes))
for size, data in zip(sizes, pictures):
    header += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open(sys.argv[2], "wb").write(header + b"".join(pictures))
PY

size_kb=$(du -sk --apparent-size "$stage" | cut -f1)
makensis -V2 -NOCD -DVERSION="$version" -DVERSION_SHORT="$short" -DSTAGE="$stage" -DFILES="$work/files.nsh" \
    -DESTIMATED_SIZE_KB="$size_kb" -DICON="$work/product.ico" -DOUTFILE="$out/$base-setup.exe" \
    "$here/installer/vistrel.nsi"

# The portable zip holds the same folder; a settings file beside the program is the user's choice (--config).
ln -s "$stage" "$work/Tarnwick IP Vistrel"
rm -f "$out/$base-portable.zip"
(cd "$work" && /usr/bin/python3 -m zipfile -c "$out/$base-portable.zip" "Tarnwick IP Vistrel/")
echo "$out/$base-setup.exe"
echo "$out/$base-portable.zip"
