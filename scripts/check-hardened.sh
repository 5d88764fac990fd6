#!/usr/bin/env bash
# Builds everything with GCC, undefined-behaviour traps and libstdc++ assertions into
# build/windows-hardened and runs every test against it: a trap fails its test.
set -euo pipefail
cd "$(dirname "$0")/.."
HV_PRESET=windows-hardened exec bash scripts/test.sh "$@"
