#!/bin/sh
# Prints the folder-level include graph of the source tree: one line per pair
# of folders, "from -> to: N", where N counts the #include "to/..."
# lines in the files of `from`. Folders are the top folders under src/, plus
# kbdsim and songconv.
set -eu
cd "$(dirname "$0")/.."
for file in $(git ls-files 'src/*.h' 'src/*.cpp' 'kbdsim/*.h' 'kbdsim/*.cpp' 'songconv/*.h' 'songconv/*.cpp'); do
    case "$file" in
    src/*) from=$(echo "$file" | cut -d/ -f2) ;;
    *) from=$(echo "$file" | cut -d/ -f1) ;;
    esac
    sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' "$file" | while read -r to; do
        if [ "$to" != "$from" ]; then echo "$from -> $to"; fi
    done
done | sort | uniq -c | awk '{ printf "%s -> %s: %d\n", $2, $4, $1 }'
