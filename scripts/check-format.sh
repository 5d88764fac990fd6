#!/usr/bin/env bash
# Fails on any C++ file that clang-format (with .clang-format) would change; the files it names
# are mended with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
find src tests tools bench \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
  xargs -0 clang-format --dry-run --Werror
echo "formatting: clean"
