#!/bin/bash
# Surface scan of simulated drives at a set media rate: one drive alone, then
# eight with --parallel, and the combined rate of the eight against the one
# (goal: at least 7 times). Then the peak memory (maximum resident set, from
# /usr/bin/time -v) of scans of one and of eight drives, each small and each
# large, which must grow with the number of drives and not with their size.
#
# usage: bench/scan_parallel.sh KESTRION_CLI [MEDIA_RATE_BYTES_PER_SECOND]
# A benchmark, not a test: it prints its figures and exits 1 only when a
# run fails or a goal is missed.

set -u
set -o pipefail

cli=${1:?usage: scan_parallel.sh KESTRION_CLI [MEDIA_RATE]}
rate=${2:-100000000}
[ -x "$cli" ] || { echo "kestrion-cli not found at $cli" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is needed (package time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A bench of `count` drives of `blocks` 512-byte blocks behind an adapter that
# moves 1 MiB a command; rate 0: as fast as the simulation goes; latency:
# microseconds each command takes besides.
bench() {
    local file=$1 count=$2 blocks=$3 rate=$4 latency=${5:-0} devices= drive
    for ((drive = 0; drive < count; drive++)); do
        devices+="${devices:+,}{\"bus\": 0, \"targetId\": $drive, \"vendor\": \"MORVANE\", \"product\": \"MVX-BENCH\","
        devices+=" \"serial\": \"BN$(printf %06d "$drive")\", \"blocks\": $blocks"
        [ "$rate" -gt 0 ] && devices+=", \"mediaRate\": $rate"
        [ "$latency" -gt 0 ] && devices+=", \"latencyMicroseconds\": $latency"
        devices+="}"
    done
    printf '{"buses": 1, "adapter": {"maximumTransferLength": 1048576}, "devices": [%s]}\n' "$devices" >"$file"
}

drives() { seq -s ' ' 0 $(($1 - 1)); }

# Seconds of a scan of every drive of a bench, from its --json result.
scan_seconds() {
    local bench_file=$1 count=$2
    "$cli" --bench "$bench_file" scan --read --parallel --json $(drives "$count") 2>/dev/null >"$work/out.json" ||
        { echo "the scan of $bench_file failed" >&2; return 1; }
    python3 -c '
import json, sys
result = json.load(open(sys.argv[1]))
print(max(drive["elapsed_seconds"] for drive in result["drives"]),
      sum((drive["last_lba"] - drive["first_lba"] + 1) * drive["block_length"] for drive in result["drives"]))
' "$work/out.json"
}

blocks=$((rate * 8 / 512))  # eight seconds' worth of media
bench "$work/one.json" 1 "$blocks" "$rate"
bench "$work/eight.json" 8 "$blocks" "$rate"
read -r one_seconds one_bytes < <(scan_seconds "$work/one.json" 1) || exit 1
read -r eight_seconds eight_bytes < <(scan_seconds "$work/eight.json" 8) || exit 1
python3 - "$rate" "$one_seconds" "$one_bytes" "$eight_seconds" "$eight_bytes" <<'EOF' || status=1
import sys
rate, one_s, one_b, eight_s, eight_b = map(float, sys.argv[1:])
one, eight = one_b / one_s, eight_b / eight_s
print(f"media rate {rate / 1e6:.0f} MB/s a drive")
print(f"one drive:            {one_b / 1e6:8.0f} MB in {one_s:6.2f} s = {one / 1e6:7.1f} MB/s")
print(f"eight, --parallel:    {eight_b / 1e6:8.0f} MB in {eight_s:6.2f} s = {eight / 1e6:7.1f} MB/s")
print(f"ratio {eight / one:.2f} (goal at least 7)")
sys.exit(0 if eight / one >= 7 else 1)
EOF

# Peak memory: READ (the method that holds a buffer), no media rate but
# 200 us a command, so that even the small drives' scans all run at once.
peak_kib() {
    /usr/bin/time -v "$cli" --bench "$1" scan --read --parallel $(drives "$2") >/dev/null 2>"$work/time.txt" ||
        { echo "the scan of $1 failed" >&2; return 1; }
    sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt"
}
small=$((1024 * 2048))    # 1 GiB
large=$((16384 * 2048))   # 16 GiB
echo "peak memory (maximum resident set), READ, 1 MiB a command:"
for count in 1 8; do
    for size in "$small" "$large"; do
        bench "$work/memory.json" "$count" "$size" 0 200
        kib=$(peak_kib "$work/memory.json" "$count") || exit 1
        printf '  %d drive(s) of %5d MiB: %7d KiB\n' "$count" $((size / 2048)) "$kib"
    done
done
exit "${status:-0}"
