#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine, with the preset named by HV_PRESET (default
# windows). A virtual X display (Xvfb) is started for the message-box test when none is set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

source scripts/display-env.sh
source scripts/wine-env.sh
ctest --preset "${HV_PRESET:-windows}" "$@"
