#!/usr/bin/env bash
# Installs what a fresh Debian-family build machine lacks for this project:
# compiler, CMake, GoogleTest, nm and clang (fuzzing), expat (for the OpenFX
# standard's host support library in the conformance tests) and cuobjdump
# (the kernel resource checks) when the CUDA toolkit came without it. Silent when
# all is present; safe to run any number of times. The CUDA toolkit (nvcc)
# itself is not installed here: the product bundle is built when
# /usr/local/cuda has it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(cmake make g++ libgtest-dev binutils clang libexpat1-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# cuobjdump of the toolkit's major version, from PyPI into .tools/ (the
# build looks there); only needed when nvcc is there to build device code.
nvcc="$(command -v nvcc || echo /usr/local/cuda/bin/nvcc)"
if [ -x "$nvcc" ] && [ ! -x /usr/local/cuda/bin/cuobjdump ]; then
  major="$("$nvcc" --version | sed -n 's/.*release \([0-9]*\)\..*/\1/p')"
  target="$root/.tools/cuobjdump"
  if [ -n "$major" ] && [ ! -x "$target/nvidia/cu$major/bin/cuobjdump" ]; then
    echo "Installing cuobjdump $major into .tools/"
    python3 -m pip install -q --disable-pip-version-check --root-user-action=ignore \
      --no-deps --upgrade --target "$target" "nvidia-cuda-cuobjdump==$major.*" ||
      echo "cuobjdump could not be installed: the kernel resource checks fall back" >&2
  fi
fi

# NatronRenderer's runtime packages (Qt 5, PySide2, OpenColorIO...) for the
# tests in a real host, when the prebuilt renderer lies beside the clone in
# ../shared/natron; only the missing ones, so no network when all are there.
natron="$root/../shared/natron"
if [ -f "$natron/packages.txt" ]; then
  natron_wanted=($(grep -v '^#' "$natron/packages.txt" | cut -d= -f1))
  natron_installed=" $(dpkg-query -W -f='${Package}=${Status} ' "${natron_wanted[@]}" 2>/dev/null || true) "
  natron_missing=()
  for p in "${natron_wanted[@]}"; do
    [[ "$natron_installed" == *" $p=install ok installed "* ]] || natron_missing+=("$p")
  done
  if [ ${#natron_missing[@]} -gt 0 ]; then
    echo "Installing for NatronRenderer: ${natron_missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${natron_missing[@]}" >/dev/null
  fi
fi
