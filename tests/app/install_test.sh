#!/usr/bin/env bash
# Installs the build into a prefix whose path holds a blank and a dollar sign, and checks what the
# applications menu needs: a valid desktop entry that starts the installed player, and its icon
# in every size of the hicolor theme.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
prefix="$root/my apps\$x"
fail() {
    echo "install_test: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/Zorvita/Zorvita" ] || fail "no player in the installed application folder"
[ -d "$prefix/Zorvita/Skins" ] || fail "no skins in the installed application folder"

entry="$prefix/share/applications/zorvita.desktop"
desktop-file-validate "$entry" || fail "the desktop entry does not validate"
# Quoted in the command line, the dollar sign escaped, and that backslash escaped once more.
grep -qxF "Exec=\"$root/my apps\\\\\$x/Zorvita/Zorvita\"" "$entry" || fail "Exec: $(grep ^Exec "$entry")"
grep -qxF "TryExec=$root/my apps\$x/Zorvita/Zorvita" "$entry" || fail "TryExec: $(grep ^TryExec "$entry")"
grep -qxF "Icon=zorvita" "$entry" || fail "no Icon=zorvita"
grep -qxF "Name=Zorvita" "$entry" || fail "no Name=Zorvita"

theme="$prefix/share/icons/hicolor"
grep -q "<svg " "$theme/scalable/apps/zorvita.svg" || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
    png="$theme/${size}x${size}/apps/zorvita.png"
    [ -f "$png" ] || fail "no $png"
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}"
done
echo "install_test: the install tree holds the desktop entry and the icons"
