#!/usr/bin/env bash
# Two processes write different keys into one settings file at the same time, one file
# replacement per key and then in batches: every key of both must be in the file afterwards,
# each once, with its value. Without a lock around each read-modify-replace, one process
# replaces the file with a copy read before the other's last write, and keys go missing.
# Usage: settings_race_test.sh PATH-TO-settings_writer
set -u

writer=$1
count=200
# Each replacement is flushed to disk: on a memory file system the 800 of them take no time.
base=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/torva-settings-race.XXXXXX")
trap 'rm -rf "$work"' EXIT

failed=0

# race LABEL BATCH: two writers, keys a_* and b_*, BATCH as settings_writer takes it.
race() {
    local label=$1 batch=$2 file=$work/$1/torva.ini
    mkdir -p "$work/$label"
    printf '[nv]\nKEPT=1\n' >"$file"
    "$writer" "$file" a "$count" "$batch" "$work/$label/go" &
    local first=$!
    "$writer" "$file" b "$count" "$batch" "$work/$label/go" &
    local second=$!
    touch "$work/$label/go"
    local status=0
    wait "$first" || status=1
    wait "$second" || status=1
    if [ "$status" -ne 0 ]; then
        echo "settings_race: FAILED: $label: a writer failed" >&2
        failed=$((failed + 1))
        return
    fi
    local missing doubled
    missing=$(
        {
            echo "KEPT=1"
            for prefix in a b; do
                for ((i = 0; i < count; i++)); do echo "${prefix}_$i=$i"; done
            done
        } | grep -vxFf "$file" | wc -l
    )
    doubled=$(grep -v '^\[' "$file" | cut -d= -f1 | sort | uniq -d | wc -l)
    if [ "$missing" -ne 0 ] || [ "$doubled" -ne 0 ]; then
        echo "settings_race: FAILED: $label: $missing of $((2 * count + 1)) keys missing," \
            "$doubled keys twice" >&2
        failed=$((failed + 1))
    else
        echo "ok   $label: all $((2 * count + 1)) keys, each once"
    fi
}

race single 0
race batches 10

[ "$failed" -eq 0 ]
