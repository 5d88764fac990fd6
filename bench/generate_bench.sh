#!/usr/bin/env bash
# Dump generation against plain writes of the same size, on a RAM-backed file system.
#   bash bench/generate_bench.sh [BUILD_DIR] [ROUNDS] [ROW-PATH...]
# Needs root (it mounts a tmpfs) and generate-bench.exe built in BUILD_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
rounds=${2:-5}
program="$build/generate-bench.exe"
[[ -f "$program" ]] || { echo "no $program: build the generate-bench target first" >&2; exit 1; }

work=$(mktemp -d /tmp/hv-generate-bench.XXXXXX)
mount -t tmpfs -o size=4g tmpfs "$work" || { rmdir "$work"; exit 1; }
cleanup() {
  umount "$work" || umount -l "$work"
  rmdir "$work"
}
trap cleanup EXIT

export WINEDEBUG=-all LC_ALL=C.UTF-8
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
wine "$program" "Z:${work//\//\\}" "$rounds" "${@:3}"
