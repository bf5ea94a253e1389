#!/usr/bin/env bash
# Compile time of a C++ file against two include directories (for example an older
# checkout's radio_sdk/include and this one's): ten compiles each, interleaved so
# that the machine's load falls on both alike; prints the median wall and CPU
# (user + system) seconds of each.
#   bench/hpp_compile_time.sh FILE INCLUDE_DIR_A INCLUDE_DIR_B
set -euo pipefail
file=$1
for i in $(seq 10); do
  for dir in "$2" "$3"; do
    /usr/bin/time -f "$dir %e %U %S" g++ -std=c++20 -c -o /dev/null -I"$dir" "$file" 2>&1 | tail -1
  done
done | awk '{print $1, $2, $3 + $4}' | sort -k1,1 -k3,3n |
  awk '{n[$1]++; w[$1, n[$1]] = $2; c[$1, n[$1]] = $3}
       END {for (d in n) printf "%s: wall %.2f s, cpu %.2f s (medians of %d)\n", d,
            (w[d, 5] + w[d, 6]) / 2, (c[d, 5] + c[d, 6]) / 2, n[d]}'
