#!/usr/bin/env bash
# The Debian package from outside: CPack builds it from this build's install rules into a
# private directory, its control data is checked, lintian finds no error, and dpkg installs it
# into a scratch root with its own database (--root), where the programs run, the desktop entry
# validates and `dpkg -L` lists exactly the files that arrived; `dpkg -r` then leaves nothing.
# The machine's own dpkg database is never touched.
# Usage: package_test.sh BUILD-DIR
set -u
build=$1
failed=0
fail() {
    echo "FAIL $*"
    failed=$((failed + 1))
}
for tool in dpkg dpkg-deb dpkg-shlibdeps cpack desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP the package test needs $tool (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    fail "cpack: $(tail -5 "$work/cpack.log")"
    exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$work/out/torva_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { fail "no $deb: $(ls "$work/out")"; exit 1; }

# Control data: the package's name, version, section, and the libraries dpkg-shlibdeps found in
# the binaries, each one a package this machine has installed.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" == torva ] || fail "Package: $(field Package)"
[ "$(field Version)" == "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" == math ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" == *"<"*"@"*">" ]] || fail "Maintainer: $(field Maintainer)"
depends=$(field Depends)
for library in libx11-6 libcairo2 libfontconfig1 libfreetype6 libmpfr6; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
for package in $(echo "$depends" | tr ',' '\n' | sed 's/(.*//; s/ //g'); do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        fail "the dependency $package is no installed package"
done
[ "$(field Description | wc -l)" -gt 3 ] || fail "no long description"

# Contents: everything under /usr, binaries stripped, manual pages gzipped, a copyright file.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
grep -v '^usr/' "$work/contents" | grep -q . && fail "files outside /usr: $(grep -v '^usr/' "$work/contents")"
for file in usr/bin/torva usr/bin/torva-cli usr/libexec/torva/torva-cli-render \
    usr/share/man/man1/torva.1.gz usr/share/man/man1/torva-cli.1.gz \
    usr/share/doc/torva/copyright usr/share/doc/torva/changelog.gz \
    usr/share/applications/torva.desktop; do
    grep -qx "$file" "$work/contents" || fail "the package lacks $file"
done
dpkg-deb -x "$deb" "$work/unpacked"
for binary in usr/bin/torva usr/bin/torva-cli usr/libexec/torva/torva-cli-render; do
    file "$work/unpacked/$binary" | grep -q 'not stripped' && fail "$binary is not stripped"
done

if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1
    grep -q '^E: ' "$work/lintian.log" && fail "lintian: $(grep '^E: ' "$work/lintian.log")"
else
    echo "note: lintian is missing; the package was not linted"
fi

# A scratch root with its own dpkg database. The libraries come from this machine, so the
# dependencies dpkg cannot see in the empty database are forced.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg=(dpkg --root="$root" --log=/dev/null --force-depends --force-not-root)
if ! "${dpkg[@]}" -i "$deb" >"$work/dpkg.log" 2>&1; then
    fail "dpkg -i: $(cat "$work/dpkg.log")"
    exit 1
fi
[ "$("$root/usr/bin/torva" --version 2>&1)" == "torva $version" ] ||
    fail "the installed torva --version: $("$root/usr/bin/torva" --version 2>&1)"
[ "$("$root/usr/bin/torva-cli" -k '2+3=' 2>&1)" == " 5" ] || fail "the installed torva-cli computes"
"$root/usr/bin/torva-cli" --print-tape "$work/tape.ps" -k '2+3=' >/dev/null 2>&1 &&
    head -c 4 "$work/tape.ps" | grep -q '%!PS' || fail "the installed torva-cli prints its tape"
desktop-file-validate "$root/usr/share/applications/torva.desktop" >"$work/desktop.log" 2>&1 &&
    [ ! -s "$work/desktop.log" ] || fail "desktop-file-validate: $(cat "$work/desktop.log")"
# dpkg -L lists every file that arrived, and nothing else.
listed=$("${dpkg[@]}" -L torva | while read -r path; do
    [ -d "$root$path" ] || echo "${path#/}"
done | LC_ALL=C sort)
arrived=$(cd "$root" && find usr -type f -o -type l | LC_ALL=C sort)
[ "$listed" == "$arrived" ] || fail "dpkg -L against the files:"$'\n'"$(diff <(echo "$listed") <(echo "$arrived"))"

if ! "${dpkg[@]}" -r torva >"$work/remove.log" 2>&1; then
    fail "dpkg -r: $(cat "$work/remove.log")"
fi
left=$(cd "$root" && find usr -mindepth 1 2>/dev/null)
[ -z "$left" ] || fail "left after dpkg -r: $left"

[ "$failed" -eq 0 ] && echo "ok   the package builds, lints, installs, runs and goes"
exit $((failed > 0))
