#!/usr/bin/env bash
# Static analysis of src/ and tools/: clang-tidy (checks in .clang-tidy) from the clang build's
# compile database, then cppcheck. Any finding fails. A finding that is not a defect is
# suppressed where it stands (NOLINT... or cppcheck-suppress), with its reason beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows-clang -DHV_WERROR=ON >/dev/null

mapfile -t sources < <(find src tools -name '*.cpp' | sort)
echo "clang-tidy: ${#sources[@]} files"
printf '%s\n' "${sources[@]}" | xargs -P2 -n1 clang-tidy -p build/windows-clang --quiet 2>/dev/null

echo "cppcheck: src tools"
mkdir -p build/cppcheck
# The defines are the build's own (see hv_warnings in CMakeLists.txt) plus the target's.
cppcheck --std=c++20 --platform=win64 --library=windows -I src \
  -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0A00 -D_WIN32 -D_WIN64 \
  --enable=warning,performance,portability,style --inline-suppr --error-exitcode=1 \
  --cppcheck-build-dir=build/cppcheck -j2 --quiet --template='{file}:{line}: {severity} [{id}] {message}' \
  src tools
echo "static analysis: clean"
