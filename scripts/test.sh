#!/usr/bin/env bash
# Sets up, builds and runs every test under Wine, with the preset named by HV_PRESET (default
# windows). A virtual X display (Xvfb) is started for the message-box test when none is set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh

if [[ -z "${DISPLAY:-}" ]]; then
  # A display of our own: Xvfb takes a free number and writes it once it is ready, so another
  # run on the machine can neither share it nor end it under our tests.
  display_file=$(mktemp)
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$display_file"' EXIT
  for _ in $(seq 100); do [[ -s "$display_file" ]] && break; sleep 0.1; done
  export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
fi

source scripts/wine-env.sh
ctest --preset "${HV_PRESET:-windows}" "$@"
