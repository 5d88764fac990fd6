#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (as root); quick when all is there.
set -euo pipefail

packages=(cmake make g++-mingw-w64-x86-64-posix wine wine64 googletest xvfb xdotool x11-apps e2fsprogs time xxd bc
          clang lld clang-tidy cppcheck clang-format zip osslsigncode openssl)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
