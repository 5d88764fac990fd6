#!/usr/bin/env bash
# Reads the PE headers of the shipped program (the one in the release archive, made first by
# scripts/release.sh) or of the program given, and fails unless it is hardened: ASLR with
# high-entropy addresses and relocations to move by, NX, the stack guard linked in, only
# system DLLs imported, and no debug section left.   Usage: scripts/check-pe.sh [PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
objdump=x86_64-w64-mingw32-objdump
if (($# > 0)); then
  program=$1
  label=$1
else
  bash scripts/release.sh >/dev/null
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  archive=$(echo "$PWD"/build/release/hex-viewer-*-win64.zip)
  (cd "$work" && cmake -E tar xf "$archive")
  program=$work/hex-viewer/hex-viewer.exe
  label="hex-viewer.exe in ${archive##*/}"
fi
headers=$($objdump -p "$program")
findings=()
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  grep -qx "[[:space:]]*$flag" <<<"$headers" || findings+=("$flag is not set")
done
# Without base relocations the loader cannot move the program, whatever DYNAMIC_BASE says.
grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" ||
  findings+=("no base relocations")
grep -qE ' __stack_chk_guard$' <<<"$($objdump -t "$program")" || findings+=("no stack guard (__stack_chk_guard)")
# Windows' own DLLs, found in the system directory; anything else would be looked for beside the
# program first.
system_dlls='kernel32|user32|shell32|ole32|advapi32|msvcrt'
while read -r dll; do
  grep -qixE "($system_dlls)\.dll" <<<"$dll" || findings+=("imports $dll, not a system DLL")
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
while read -r section; do
  findings+=("debug section $section")
done < <($objdump -h "$program" | awk '$1 ~ /^[0-9]+$/ && $2 ~ /^\.z?debug/ {print $2}')
if ((${#findings[@]})); then
  printf 'check-pe: %s\n' "${findings[@]/#/$label: }" >&2
  exit 1
fi
echo "check-pe: $label is hardened and stripped"
