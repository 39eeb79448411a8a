#!/usr/bin/env bash
# A program file saved again and again (alternating between two programs) by a process killed
# outright at random moments, a hundred times: the file always holds one of the programs whole,
# or the one it held before, never a mix, a cut or nothing; the only thing a kill may leave is a
# temporary file beside it.
# Usage: program_kill_test.sh PATH-TO-program_writer [KILLS]
set -u

writer=$1
kills=${2:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/torva-program-kill.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/prog.tor
touch "$work/go"

# The texts it may hold: the one from before, and the two the writer saves.
printf '7\n=\n__ end __\n' >"$work/before"
"$writer" "$work/a" 1 "$work/go" && "$writer" "$work/b" 2 "$work/go" || {
    echo "program_kill: FAILED: the writer does not write" >&2
    exit 1
}
cmp -s "$work/a" "$work/b" && { echo "program_kill: FAILED: the two texts are one" >&2; exit 1; }

failed=0 changed=0
for ((n = 0; n < kills; n++)); do
    cp "$work/before" "$file"
    "$writer" "$file" 1000 "$work/go" 2>/dev/null &
    pid=$!
    sleep "0.$((RANDOM % 3))$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if cmp -s "$file" "$work/a" || cmp -s "$file" "$work/b"; then
        changed=$((changed + 1))
    elif ! cmp -s "$file" "$work/before"; then
        echo "program_kill: FAILED: after kill $n the file holds neither program whole:" >&2
        head -c 200 "$file" >&2
        failed=1
        break
    fi
done
echo "program_kill: $kills kills: the file was always whole ($changed times a saved program)"
if [ "$failed" -eq 0 ] && [ "$changed" -eq 0 ]; then
    echo "program_kill: FAILED: no save finished before a kill" >&2
    failed=1
fi
[ "$failed" -eq 0 ]
