#!/usr/bin/env bash
# Removes what `cmake --install` installed, as the install manifest lists it: one absolute path
# a line, without the DESTDIR the files were staged under, so the same DESTDIR must be given
# here. Only files and symbolic links go; the directories stay, since bin/, share/man/man1 and
# the icon theme's folders are shared with other programs, all but torva's own folders
# (libexec/torva, share/doc/torva), which go when they are left empty.
# Usage: [DESTDIR=DIR] uninstall.sh MANIFEST
set -u
manifest=${1:?usage: uninstall.sh MANIFEST}
if [ ! -f "$manifest" ]; then
    echo "uninstall: $manifest does not exist; nothing was installed from this build" >&2
    exit 1
fi
status=0
destdir=${DESTDIR:-}
while IFS= read -r listed || [ -n "$listed" ]; do
    [ -n "$listed" ] || continue
    case $listed in
    /*) ;;
    *)
        echo "uninstall: $listed is not an absolute path; left alone" >&2
        status=1
        continue
        ;;
    esac
    path=$destdir$listed
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        echo "uninstall: $path is a directory; left alone" >&2
        status=1
    elif [ -e "$path" ] || [ -L "$path" ]; then
        rm -f -- "$path" && echo "removed $path" || status=1
        parent=${path%/*}
        if [ "${parent##*/}" == torva ]; then
            rmdir -- "$parent" 2>/dev/null # torva's own folder, once empty
        fi
    fi
done <"$manifest"
exit $status
