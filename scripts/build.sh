#!/usr/bin/env bash
# Configures and builds the Windows programs (all, or the given targets) with the preset named
# by HV_PRESET (default windows, into build/windows; see CMakePresets.json for the others).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${HV_PRESET:-windows}
bash scripts/setup.sh
cmake --preset "$preset" -DHV_WERROR=ON >/dev/null
if (($# > 0)); then
  cmake --build --preset "$preset" --target "$@"
else
  cmake --build --preset "$preset"
fi
