#!/usr/bin/env bash
# The installed tree, from outside: installs the build into a private DESTDIR under /usr, on a
# manifest of its own (the user's install_manifest.txt stays as it was), and checks that exactly
# the expected files are there, that the desktop entry and the AppStream metadata validate, that
# both manual pages render without a warning, that the icons are the program's icon, and that
# uninstalling from the manifest leaves none of them behind.
# Usage: install_test.sh BUILD-DIR UNINSTALL-SCRIPT ICONPNG
set -u
build=$1
uninstall=$2
iconpng=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/torva-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    failed=$((failed + 1))
    echo "FAIL $*"
}

manifest=$build/install_manifest_torva.txt
rm -f "$manifest"
if ! DESTDIR="$work/root" cmake --install "$build" --prefix /usr --component torva \
    >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install"
    exit 1
fi
root=$work/root/usr

expected="bin/torva
bin/torva-cli
libexec/torva/torva-cli-render
share/applications/torva.desktop
share/doc/torva/changelog.gz
share/doc/torva/copyright
share/icons/hicolor/48x48/apps/torva.png
share/icons/hicolor/scalable/apps/torva.svg
share/man/man1/torva-cli.1.gz
share/man/man1/torva.1.gz
share/metainfo/torva.metainfo.xml"
installed=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$installed" == "$expected" ] ||
    fail "installed files:"$'\n'"$(diff <(echo "$expected") <(echo "$installed"))"
listed=$(sed "s|^/usr/||" "$manifest" | LC_ALL=C sort)
[ "$listed" == "$expected" ] ||
    fail "manifest:"$'\n'"$(diff <(echo "$expected") <(echo "$listed"))"

for program in torva torva-cli; do
    [ -x "$root/bin/$program" ] || fail "$program is not executable"
done
version=$("$root/bin/torva-cli" --version 2>&1)
[[ "$version" == "torva-cli "* ]] || fail "the installed torva-cli --version says: $version"
[ "$("$root/bin/torva-cli" -k '2+3X4=' 2>&1)" == " 14" ] || fail "the installed torva-cli computes"
# --print-tape runs the renderer installed in libexec/torva.
"$root/bin/torva-cli" --print-tape "$work/tape.ps" -k '2+3=' >/dev/null 2>"$work/render.err" &&
    head -c 4 "$work/tape.ps" | grep -q '%!PS' ||
    fail "the installed torva-cli prints its tape: $(cat "$work/render.err")"

desktop=$root/share/applications/torva.desktop
desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 && [ ! -s "$work/desktop.log" ] ||
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
# The launcher runs the program installed beside it, shows its icon and groups the window by
# the WM_CLASS class the x11 host gives it.
entry() { sed -n "s/^$1=//p" "$desktop"; }
for pair in "Exec=torva" "Icon=torva" "Terminal=false" "StartupWMClass=Torva" "Name=torva" \
    "GenericName=Calculator" "Categories=Utility;Calculator;"; do
    [ "$(entry "${pair%%=*}")" == "${pair#*=}" ] || fail "desktop entry: ${pair%%=*} is not ${pair#*=}"
done

# The id is the desktop file's own name, not a reverse domain name: the validator's warning on
# that is the one issue taken down to a note.
metainfo=$root/share/metainfo/torva.metainfo.xml
appstreamcli validate --no-net --override=cid-desktopapp-is-not-rdns=info "$metainfo" \
    >"$work/appstream.log" 2>&1 || fail "appstreamcli validate: $(cat "$work/appstream.log")"
grep -q '<launchable type="desktop-id">torva.desktop</launchable>' "$metainfo" ||
    fail "the metadata does not launch torva.desktop"

for page in torva torva-cli; do
    file=$root/share/man/man1/$page.1.gz
    warnings=$(gzip -dc "$file" | LC_ALL=C groff -ww -z -man 2>&1)
    [ -z "$warnings" ] || fail "groff on $page.1: $warnings"
    text=$(LC_ALL=C MANWIDTH=80 man -l "$file" 2>"$work/man.err")
    [ -s "$work/man.err" ] && fail "man -l $page.1: $(cat "$work/man.err")"
    [[ "$text" == *NAME*"$page - "* ]] || fail "man -l $page.1 has no NAME line"
    [[ "$text" == *"EXIT STATUS"* ]] || fail "$page.1 has no EXIT STATUS"
    [[ "$text" != *"@PROJECT_VERSION@"* ]] || fail "$page.1 was not given the version"
    # Every option the program's usage names is documented on its page.
    for option in $("$root/bin/$page" --help 2>/dev/null | grep -o -- '--[a-z0-9-]*' | sort -u); do
        [[ "$text" == *"$option"* ]] || fail "$page.1 does not document $option"
    done
done

"$iconpng" check "$root/share/icons/hicolor/48x48/apps/torva.png" ||
    fail "the 48-pixel icon is not the program's icon"
if rsvg-convert -w 48 -h 48 "$root/share/icons/hicolor/scalable/apps/torva.svg" \
    -o "$work/svg.png" 2>"$work/svg.err"; then
    "$iconpng" check "$work/svg.png" || fail "the scalable icon at 48 pixels is not the program's icon"
else
    fail "rsvg-convert: $(cat "$work/svg.err")"
fi

if ! DESTDIR="$work/root" bash "$uninstall" "$manifest" >"$work/uninstall.log" 2>&1; then
    fail "uninstall: $(cat "$work/uninstall.log")"
fi
left=$(cd "$root" && find . -type f -o -type l)
[ -z "$left" ] || fail "left after uninstall: $left"
removed=$(grep -c '^removed ' "$work/uninstall.log")
[ "$removed" -eq 11 ] || fail "uninstall removed $removed files, not 11"
[ ! -e "$root/libexec/torva" ] && [ ! -e "$root/share/doc/torva" ] ||
    fail "uninstall left torva's empty folders"
# A second uninstall finds nothing to do and still succeeds.
DESTDIR="$work/root" bash "$uninstall" "$manifest" >/dev/null 2>&1 || fail "a second uninstall"
rm -f "$manifest"

[ "$failed" -eq 0 ] && echo "ok   installed, checked and uninstalled"
exit $((failed > 0))
