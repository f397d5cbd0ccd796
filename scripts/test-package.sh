#!/usr/bin/env bash
# Makes the release packages (scripts/package.sh) and checks them as a user would get them: the
# Debian package's control fields and contents, its zendrow-cli unpacked and run on a small
# container, and the Windows zip's contents. Installs what is missing (Debian 12, as root).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh unzip
scripts/package.sh

version=$(sed -n 's/^project(Zendrow VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/zendrow_${version}_amd64.deb
zip=dist/zendrow-cli-${version}-windows-x86_64.zip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

echo "--- $deb: control fields"
dpkg-deb -f "$deb"
[ "$(dpkg-deb -f "$deb" Package)" = zendrow ] || fail "package name is not zendrow"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture is not amd64"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] || fail "Depends lacks $library"
done

echo "--- $deb: contents"
dpkg-deb -c "$deb" | tee "$work/contents"
for path in usr/bin/zendrow usr/bin/zendrow-cli usr/share/applications/zendrow.desktop \
    usr/share/icons/hicolor/scalable/apps/zendrow.svg usr/share/doc/zendrow/copyright; do
    grep -q " \./$path\$" "$work/contents" || fail "the package lacks /$path"
done
! grep -v " \./$" "$work/contents" | grep -vq " \./usr/" || fail "the package puts files outside /usr"

echo "--- the unpacked zendrow-cli on a container"
dpkg-deb -x "$deb" "$work/root"
cli=$work/root/usr/bin/zendrow-cli
"$cli" --version | grep -qx "zendrow-cli $version" || fail "zendrow-cli --version does not say $version"
mkdir "$work/in" "$work/out"
# An Impulse Tracker module behind 100 bytes of container header: "IMPM", a 26-byte title, a body.
{ printf 'IMPMPackage Check'; head -c 13 /dev/zero; printf 'module body \1\2\3\377'; } >"$work/module"
{ head -c 100 /dev/zero | tr '\0' 'x'; cat "$work/module"; } >"$work/in/level.vnr"
"$cli" --dest "$work/out" "$work/in/level.vnr" || fail "zendrow-cli failed on the container"
if [ -f "$work/out/Package Check.it" ]; then
    cmp "$work/module" "$work/out/Package Check.it" || fail "the output is not the module's bytes"
else
    fail "no Package Check.it written"
fi

echo "--- $zip: contents"
unzip -l "$zip" | tee "$work/zip-contents"
for name in zendrow-cli.exe README.md LICENSE; do
    grep -q "/$name\$" "$work/zip-contents" || fail "the zip lacks $name"
done

[ $failures -eq 0 ] || { echo "$failures package check(s) failed"; exit 1; }
echo "Package checks passed"
