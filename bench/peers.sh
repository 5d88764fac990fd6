#!/usr/bin/env bash
# hex-viewer against its peers on one 256 MiB file, all on a RAM-backed tmpfs (as root):
#   the program under Wine (warm) at --max-kb=262144, xxd writing its dump to a file, and
#   head -c N /dev/zero > file with N the size of our dump (the cost of writing that much).
# Prints the median of ROUNDS interleaved runs of each, the ratios, and the peak resident
# memory of the program for a 64 KiB dump and for the 256 MiB one.
#   Usage: bash bench/peers.sh [ROUNDS]   (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-3}"
bash scripts/build.sh hex-viewer instant-viewer >/dev/null
source scripts/wine-env.sh

work=/tmp/hex-viewer-peers
mkdir -p "$work"
mountpoint -q "$work" || mount -t tmpfs -o size=6g tmpfs "$work"
trap 'cd /; umount "$work" 2>/dev/null || true' EXIT
mkdir -p "$work/app"
cp build/windows/hex-viewer.exe build/windows/instant-viewer.exe "$work/app/"
head -c $((256 << 20)) /dev/urandom >"$work/input.bin"
echo "a tiny file" >"$work/tiny.txt"

win_input="$(winepath -w "$work/input.bin")"
win_viewer="$(winepath -w "$work/app/instant-viewer.exe")"
win_tiny="$(winepath -w "$work/tiny.txt")"
dump_of() { ls "$work/app/dumps/"*input.bin.hextxt; }
run_ours() { wine "$work/app/hex-viewer.exe" "$@" "$win_input" "$win_viewer"; }
now() { date +%s.%N; }
# This machine hands memory that stays free for a few seconds back to its host, and taking
# it again costs about as much as the write itself. Each contender therefore starts right
# after 2 GiB were written and freed, so that all of them find the memory at hand.
prefault() { head -c $((2 << 30)) /dev/zero >"$work/prefault"; rm -f "$work/prefault"; }
# Wine ends its desktop process a few seconds after the last windowed program, and the next
# program then waits about a second for a new one. "Warm" means a trivial run just before.
warm_wine() { wine "$work/app/hex-viewer.exe" "$win_tiny" "$win_viewer"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_ours --max-kb=262144 # warm Wine and the page cache; gives the dump's size
bytes=$(stat -c %s "$(dump_of)")
echo "input 256 MiB; our dump $bytes bytes; $rounds rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"

ours=() xxds=() plains=()
for ((round = 1; round <= rounds; round++)); do
  rm -f "$work"/app/dumps/*input.bin.hextxt "$work/xxd.txt" "$work/plain.txt"
  prefault; warm_wine; start=$(now); run_ours --max-kb=262144; ours+=("$(echo "$(now) - $start" | bc)")
  [[ $(stat -c %s "$(dump_of)") == "$bytes" ]] || { echo "dump size changed" >&2; exit 1; }
  prefault; start=$(now); xxd "$work/input.bin" >"$work/xxd.txt"; xxds+=("$(echo "$(now) - $start" | bc)")
  rm -f "$work/xxd.txt"
  prefault; start=$(now); head -c "$bytes" /dev/zero >"$work/plain.txt"; plains+=("$(echo "$(now) - $start" | bc)")
  rm -f "$work/plain.txt"
  echo "round $round: hex-viewer ${ours[-1]} s, xxd ${xxds[-1]} s, plain write ${plains[-1]} s"
done

m_ours=$(median "${ours[@]}") m_xxd=$(median "${xxds[@]}") m_plain=$(median "${plains[@]}")
echo "median: hex-viewer $m_ours s, xxd $m_xxd s, plain write $m_plain s"
echo "hex-viewer / plain write: $(echo "scale=3; $m_ours / $m_plain" | bc) (target <= 1.2)"
echo "xxd / hex-viewer: $(echo "scale=3; $m_xxd / $m_ours" | bc) (target >= 1.8)"

rss() { /usr/bin/time -f %M wine "$work/app/hex-viewer.exe" "$@" "$win_input" "$win_viewer" 2>&1 >/dev/null | tail -n 1; }
rm -f "$work"/app/dumps/*input.bin.hextxt
warm_wine
small=$(rss)
rm -f "$work"/app/dumps/*input.bin.hextxt
prefault
warm_wine
large=$(rss --max-kb=262144)
echo "peak resident: 64 KiB dump ${small} KiB, 256 MiB dump ${large} KiB, difference $((large - small)) KiB (target <= 8192)"
