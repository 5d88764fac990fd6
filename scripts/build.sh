#!/usr/bin/env bash
# Configures and builds the Windows programs into build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows -DHV_WERROR=ON >/dev/null
cmake --build --preset windows
