#!/usr/bin/env bash
# Reads the PE headers of the shipped program (the one in the release archive, made first by
# scripts/release.sh) or of the program given, and fails unless it is hardened and stripped: ASLR
# with high-entropy addresses and relocations to move by, NX, only system DLLs imported, no symbol
# table and no debug section left, and a debug link to the debug file beside it (in build/release
# for the archive's program) that matches that file, whose symbols show the stack guard linked in
# and whose guard check the program's code calls.   Usage: scripts/check-pe.sh [PROGRAM]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
objdump=x86_64-w64-mingw32-objdump
trap 'rm -rf "${work:-}" "${link:-}"' EXIT
if (($# > 0)); then
  program=$1
  label=$1
  debug_dir=$(dirname "$1")
else
  bash scripts/release.sh >/dev/null
  work=$(mktemp -d)
  archive=$(echo "$PWD"/build/release/hex-viewer-*-win64.zip)
  (cd "$work" && cmake -E tar xf "$archive")
  program=$work/hex-viewer/hex-viewer.exe
  label="hex-viewer.exe in ${archive##*/}"
  debug_dir=build/release
fi
headers=$($objdump -p "$program")
findings=()
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
  grep -qx "[[:space:]]*$flag" <<<"$headers" || findings+=("$flag is not set")
done
# Without base relocations the loader cannot move the program, whatever DYNAMIC_BASE says.
grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" ||
  findings+=("no base relocations")
symbol_of() { grep -E " $1\$" <<<"$symbols" | head -n 1; }
# The address of a symbol of the debug file: its section's address (sections count from 1 there)
# plus its offset.
address_of() {
  local section offset
  read -r section offset < <(symbol_of "$1" | sed -E 's/^\[ *[0-9]+\]\(sec +([0-9]+)\).* 0x([0-9a-f]+) .*/\1 \2/')
  [[ -n $offset ]] || return 0
  printf '%x' $((0x$($objdump -h "$debug" | awk -v i=$((section - 1)) '$1 == i {print $4}') + 0x$offset))
}
[[ $($objdump -t "$program") == *"no symbols"* ]] || findings+=("a symbol table is left")
# The debug link: the debug file's name, NUL and padding to four bytes, then its CRC-32 (little-endian).
link=$(mktemp)
if x86_64-w64-mingw32-objcopy --dump-section .gnu_debuglink="$link" "$program" 2>/dev/null; then
  name=$(tr '\0' '\n' <"$link" | head -n 1)
  debug=$debug_dir/$name
  crc_at=$(((${#name} + 4) / 4 * 4))
  if [[ ! -f $debug ]]; then
    findings+=("its debug file $debug is missing")
  elif [[ $(od -An -tx1 -j "$crc_at" -N4 "$link") != $(gzip -c "$debug" | tail -c 8 | od -An -tx1 -N4) ]]; then
    findings+=("$debug is not the debug file its link names (another CRC)")
  else
    symbols=$($objdump -t "$debug")
    [[ -n $(symbol_of __stack_chk_guard) ]] || findings+=("no stack guard (__stack_chk_guard)")
    check=$(address_of __stack_chk_fail)
    calls=$([[ -n $check ]] && $objdump -d "$program" | grep -cE "call +(0x)?$check( |\$)" || true)
    ((calls > 0)) || findings+=("its code never calls the stack guard's check (__stack_chk_fail)")
  fi
else
  findings+=("no debug link")
fi
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
echo "check-pe: $label is hardened and stripped; its debug file matches its link and shows the stack guard"
