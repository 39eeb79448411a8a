#!/usr/bin/env bash
# Every kind of output target, written by the three writers of the tape (Save as text and Print
# to a file, through the real tape on the headless host, and torva-cli --print-tape), as the
# user running the test and, when that is root, as nobody too (through setpriv): a regular file
# keeps its mode, a file its writer may not write is refused whoever owns its folder, a FIFO's
# reader gets the document and the FIFO stays, a device stays a device, "-" is standard output,
# a directory and a missing folder are refused, a link is written through (a dangling one makes
# its target); nothing is ever left beside the target.
# Usage: output_targets_test.sh PATH-TO-tape_writer PATH-TO-torva-cli
set -u
writer=$(readlink -f "$1")
cli=$(readlink -f "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

users=("$(id -un)")
if [ "$(id -u)" -eq 0 ]; then
    if command -v setpriv >/dev/null; then
        users+=(nobody)
    else
        echo "output_targets_test: setpriv is missing (util-linux): the cases as nobody are skipped"
    fi
fi

umask 022
new_mode=644
tape_text=$'           12 \nX          3 \n           36 \n+          4 \n=          40 '

# as USER COMMAND...: the command as that user, with its home and settings in the case's folder.
as() {
    local user=$1
    shift
    if [ "$user" == "$(id -un)" ]; then
        HOME="$dir" TORVA_CONFIG_DIR="$dir/config" "$@"
    else
        setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups \
            env HOME="$dir" TORVA_CONFIG_DIR="$dir/config" "$@"
    fi
}

# write WRITER USER TARGET: the tape written to TARGET; its status, its messages in $said.
write() {
    local how=$1 user=$2 target=$3
    case $how in
    save | print) said=$(cd "$dir" && as "$user" "$writer" "$how" "$target" 2>&1 >"$dir/stdout") ;;
    cli) said=$(cd "$dir" && as "$user" "$cli" --print-tape "$target" -k '12*3+4=' 2>&1 >"$dir/stdout") ;;
    esac
}

# holds WRITER FILE: whether FILE holds what that writer writes (the text, or a document).
holds() {
    case $1 in
    save) [ "$(cat "$2")" == "$tape_text" ] ;;
    *) [ "$(head -c 4 "$2")" == "%!PS" ] && tail -c 100 "$2" | grep -q '%%EOF' ;;
    esac
}

for user in "${users[@]}"; do
    for how in save print cli; do
        for target in regular readonly others fifo device dash directory missing link dangling; do
            name="$user $how $target"
            [ "$target" == others ] && [ "$user" == root ] && continue # root may write them all
            dir=$work/$user-$how-$target
            mkdir -p "$dir/config"
            echo old >"$dir/file"
            chmod 640 "$dir/file"
            reader=""
            case $target in
            regular) path=$dir/file ;;
            readonly)
                path=$dir/file
                chmod 444 "$dir/file"
                ;;
            others) path=$dir/file ;; # root's file in nobody's folder, below
            fifo)
                path=$dir/fifo
                mkfifo -m 600 "$path"
                ;;
            device)
                # A device of the test's own where it may make one (a fault that replaced it
                # would replace this one, not the system's).
                path=/dev/null
                if [ "$(id -u)" -eq 0 ]; then
                    path=$dir/null
                    mknod -m 666 "$path" c 1 3
                fi
                ;;
            dash) path=- ;;
            directory)
                path=$dir/sub
                mkdir "$path"
                ;;
            missing) path=$dir/no/such/file ;;
            link)
                path=$dir/link
                ln -s file "$path"
                ;;
            dangling)
                path=$dir/link
                ln -s made "$path"
                ;;
            esac
            [ "$user" == root ] || chown -R "$user:$(id -gn "$user")" "$dir"
            [ "$target" == others ] && chown root:root "$dir/file" && chmod 644 "$dir/file"
            if [ "$target" == fifo ]; then
                timeout 30 cat "$path" >"$dir/read" &
                reader=$!
            fi
            write "$how" "$user" "$path"
            status=$?
            [ -n "$reader" ] && wait "$reader"

            case $target in
            regular | link)
                [ $status -eq 0 ] || fail "$name: status $status: $said"
                holds "$how" "$dir/file" || fail "$name: the file holds $(head -c 20 "$dir/file")"
                [ "$(stat -c %a "$dir/file")" == 640 ] || fail "$name: mode $(stat -c %a "$dir/file")"
                [ "$target" == regular ] || [ -L "$path" ] || fail "$name: the link was replaced"
                ;;
            readonly | others)
                if [ "$user" == root ]; then # echo > works for root: so does the write
                    [ $status -eq 0 ] || fail "$name: status $status: $said"
                    holds "$how" "$dir/file" || fail "$name: not written"
                    [ "$(stat -c %a "$dir/file")" == 444 ] || fail "$name: mode not kept"
                else
                    [ $status -ne 0 ] || fail "$name: a file its user may not write was written"
                    [ "$(cat "$dir/file")" == old ] || fail "$name: the file was changed"
                    grep -q 'read-only' <<<"$said" || fail "$name: no reason given: $said"
                fi
                ;;
            fifo)
                [ $status -eq 0 ] || fail "$name: status $status: $said"
                [ -p "$path" ] || fail "$name: the FIFO was replaced"
                holds "$how" "$dir/read" || fail "$name: the reader got $(head -c 20 "$dir/read")"
                ;;
            device)
                [ $status -eq 0 ] || fail "$name: status $status: $said"
                [ -c "$path" ] || fail "$name: $path is no longer a device"
                ;;
            dash)
                [ $status -eq 0 ] || fail "$name: status $status: $said"
                # The tape's text is a file named "-"; a print is standard output.
                if [ "$how" == save ]; then
                    holds save "$dir/-" || fail "$name: no file named -"
                else
                    holds "$how" "$dir/stdout" || fail "$name: standard output holds no document"
                fi
                ;;
            directory)
                [ $status -ne 0 ] || fail "$name: a directory was written"
                [ -d "$path" ] || fail "$name: the directory was replaced"
                grep -q 'Is a directory' <<<"$said" || fail "$name: no reason given: $said"
                ;;
            missing)
                [ $status -ne 0 ] || fail "$name: a missing folder was written"
                [ ! -e "$dir/no" ] || fail "$name: the folder was made"
                grep -q 'No such file or directory' <<<"$said" || fail "$name: no reason: $said"
                ;;
            dangling)
                [ $status -eq 0 ] || fail "$name: status $status: $said"
                [ -L "$path" ] || fail "$name: the link was replaced"
                holds "$how" "$dir/made" || fail "$name: the link's target was not made"
                # A new file gets what every editor's get: 0666 less the umask.
                [ "$(stat -c %a "$dir/made")" == "$new_mode" ] ||
                    fail "$name: a new file of mode $(stat -c %a "$dir/made"), not $new_mode"
                ;;
            esac
            leftovers=$(ls -A "$dir" | grep '^\.torva' || true)
            [ -z "$leftovers" ] || fail "$name: left beside the target: $leftovers"
        done
    done
done

[ $failed -eq 0 ] && echo "output_targets_test: passed (as ${users[*]})"
exit $failed
