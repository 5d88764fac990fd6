#!/usr/bin/env bash
# Builds everything with clang and lld (warnings as errors) into build/windows-clang and runs
# every test against that build.
set -euo pipefail
cd "$(dirname "$0")/.."
HV_PRESET=windows-clang exec bash scripts/test.sh "$@"
