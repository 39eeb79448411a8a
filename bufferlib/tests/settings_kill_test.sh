#!/usr/bin/env bash
# A writer of the settings file killed outright (SIGKILL) at random moments, a few hundred
# times: the file is always whole, the old text with the first k keys added for some k, never a
# mix, a cut line or empty, because every change is a complete new file renamed over the old.
# Usage: settings_kill_test.sh PATH-TO-settings_writer [KILLS]
set -u

writer=$1
kills=${2:-120}
count=3000
base=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/torva-settings-kill.XXXXXX")
trap 'rm -rf "$work"' EXIT
file=$work/torva.ini
touch "$work/go" # the writer starts at once

# The texts the file may hold: the old one with the first k keys, k from 0 to count. The number
# of keys it holds, or -1 for any other text.
old=$'[nv]\n; a comment of the user\'s\nKEPT=1'
keys_held() {
    awk -v old="$old" -v count="$count" '
        BEGIN { n = split(old, want, "\n") }
        NR <= n { if ($0 != want[NR]) bad = 1; next }
        { if ($0 != "k_" (NR - n - 1) "=" (NR - n - 1)) bad = 1 }
        END { held = NR - n; print (bad || held < 0 || held > count) ? -1 : held }' "$1"
}

failed=0 seen_partial=0 seen_whole=0
for ((n = 0; n < kills; n++)); do
    printf '%s\n' "$old" >"$file"
    "$writer" "$file" k "$count" 0 "$work/go" 2>/dev/null &
    pid=$!
    # Anywhere from at once to after the last key.
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    match=$(keys_held "$file")
    if [ "$match" -lt 0 ]; then
        echo "settings_kill: FAILED: after kill $n the file is neither old nor new:" >&2
        cat "$file" >&2
        failed=1
        break
    fi
    if [ "$match" -gt 0 ] && [ "$match" -lt "$count" ]; then
        seen_partial=$((seen_partial + 1))
    fi
    [ "$match" -eq "$count" ] && seen_whole=$((seen_whole + 1))
done
echo "settings_kill: $kills kills: the file was always whole ($seen_partial in the middle of" \
    "the keys, $seen_whole after the last)"
# The kills must have landed in the middle of the writing, or the check proved nothing.
if [ "$failed" -eq 0 ] && [ "$seen_partial" -eq 0 ]; then
    echo "settings_kill: FAILED: no kill fell between two keys" >&2
    failed=1
fi
[ "$failed" -eq 0 ]
