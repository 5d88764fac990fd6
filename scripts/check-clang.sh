#!/usr/bin/env bash
# Builds everything with clang and lld (warnings as errors) into build/windows-clang and runs
# every test against that build; then checks that its program is hardened and stripped too.
set -euo pipefail
cd "$(dirname "$0")/.."
HV_PRESET=windows-clang bash scripts/test.sh "$@"
bash scripts/check-pe.sh build/windows-clang/hex-viewer.exe
