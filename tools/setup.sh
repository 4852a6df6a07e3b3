#!/usr/bin/env bash
# Installs what a fresh Debian-family build machine lacks for this project:
# compiler, CMake, GoogleTest, nm and clang (fuzzing). Silent when all is
# present; safe to run any number of times. The CUDA toolkit (nvcc) is not
# installed here: the product bundle is built when /usr/local/cuda has it.
set -euo pipefail

packages=(cmake make g++ libgtest-dev binutils clang)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
