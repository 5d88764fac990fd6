#!/usr/bin/env bash
# Mutation testing of src/ (see README.md): sets up, starts a virtual X display for the
# message-box test when none is set, and runs scripts/mutation.py with the given options.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/display-env.sh
python3 scripts/mutation.py "$@"
