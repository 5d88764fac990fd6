#!/usr/bin/env bash
# Configures and builds the Windows programs into build/windows (all, or the given targets).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows -DHV_WERROR=ON >/dev/null
if (($# > 0)); then
  cmake --build --preset windows --target "$@"
else
  cmake --build --preset windows
fi
