#!/usr/bin/env bash
# Installs the build into a scratch root and builds the Debian package from it:
# both programs, their manual pages, the desktop entry and its metadata must be
# where a desktop and man(1) look for them, and the programs must run from there.
set -uo pipefail
build=$1
version=$2
source "$(dirname "${BASH_SOURCE[0]}")/../cli_checks.sh"

prints() {  # prints EXPECTED COMMAND...: the command's standard output is EXPECTED
    local expected=$1
    shift
    [ "$("$@")" = "$expected" ]
}

installed=(
    bin/kestrion
    bin/kestrion-cli
    share/man/man1/kestrion.1.gz
    share/man/man1/kestrion-cli.1.gz
    share/applications/kestrion.desktop
    share/metainfo/org.kestrion.kestrion.metainfo.xml
    share/icons/hicolor/256x256/apps/kestrion.png
    share/doc/kestrion/bench-format.md
    share/doc/kestrion/json.md
    share/doc/kestrion/json/envelope.schema.json
)

# cmake --install, under the prefix the build was configured with.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
root=$work/root$prefix
check "cmake --install into a scratch root" env DESTDIR="$work/root" cmake --install "$build"
for file in "${installed[@]}"; do
    check "installed: $prefix/$file" test -s "$root/$file"
done
check "kestrion-cli --version" prints "kestrion-cli $version" "$root/bin/kestrion-cli" --version
check "kestrion --version needs no display" \
    prints "Kestrion $version" env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/kestrion" --version
check "installed kestrion-cli works" "$root/bin/kestrion-cli" --bench list >/dev/null
if command -v appstreamcli >/dev/null; then
    check "metadata and desktop entry agree" appstreamcli validate-tree --no-net "$root"
else
    echo "appstreamcli not installed: metadata not validated"
fi

# The Debian package, from the same build.
check "cpack builds the package" cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb"
deb=$(ls "$work"/deb/kestrion_"$version"_*.deb 2>/dev/null | head -1)
check "package is named after its version" test -n "$deb"
dpkg-deb -c "$deb" >"$work/contents" 2>&1
for file in "${installed[@]}"; do
    check "packaged: /usr/$file" grep -q " \./usr/$file\$" "$work/contents"
done
depends=$(dpkg-deb -f "$deb" Depends 2>/dev/null)
for library in libqt6widgets6 libstdc++6 libc6; do
    check "package depends on $library" grep -q "\\b$library\\b" <<<"$depends"
done
check "package unpacks" dpkg-deb -x "$deb" "$work/unpacked"
check "unpacked kestrion-cli runs" prints "kestrion-cli $version" "$work/unpacked/usr/bin/kestrion-cli" --version

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
