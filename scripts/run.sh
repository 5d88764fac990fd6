#!/usr/bin/env bash
# Sets up, builds, and runs hex-viewer.exe under Wine as the host would: on FILE (or a
# sample it makes), with the stand-in viewer. Shows the dump the viewer received and
# the exit code.   Usage: scripts/run.sh [FILE [OPTIONS...]]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh hex-viewer stand-in-viewer >/dev/null
source scripts/wine-env.sh

work="$PWD/build/run"
mkdir -p "$work"
if (($# > 0)); then
  input="$(realpath -m "$1")"
  shift
else
  input="$work/sample.bin"
  { printf 'Hello, world!\r\nBye\0\377'; head -c 64 /dev/urandom; printf 'The end.'; } >"$input"
fi

received="$work/viewer-received.hextxt"
rm -f "$received" "$received.args"
export LUMO_TEST_NO_UI=1                                # errors as one line on stderr, not a box
export LUMO_VIEWER_COPY_TO="$(winepath -w "$received")" # the stand-in viewer copies what it shows

status=0
wine build/windows/hex-viewer.exe "$@" "$(winepath -w "$input")" \
  "$(winepath -w build/windows/stand-in-viewer.exe)" || status=$?

if ((status == 0)); then
  for _ in $(seq 300); do [[ -f "$received" ]] && break; sleep 0.1; done
  echo "--- the viewer was given: $(tr '\0' ' ' <"$received.args" 2>/dev/null)"
  cat "$received"
fi
echo "--- hex-viewer.exe exited with $status"
exit "$status"
