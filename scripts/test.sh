#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine, with the preset named by HV_PRESET (default
# windows). A virtual X display (Xvfb) is started for the message-box test when none is set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

if [[ -z "${DISPLAY:-}" ]]; then
  display=:97
  if [[ ! -S /tmp/.X11-unix/X${display#:} ]]; then
    setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do [[ -S /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done
  fi
  export DISPLAY="$display"
fi

source scripts/wine-env.sh
ctest --preset "${HV_PRESET:-windows}" "$@"
