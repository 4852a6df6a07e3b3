#!/usr/bin/env bash
# Installs what a fresh Debian-family build machine lacks for this project:
# Debian packages through apt-get (root, or sudo): compiler, CMake,
# GoogleTest, nm and clang (fuzzing), expat (for the OpenFX standard's host
# support library in the conformance tests); PyPI packages through pip into
# .tools/: zig (the product bundle's host code) and cuobjdump (the kernel
# resource checks) when the CUDA toolkit came without it. Installs only what
# is missing, and touches no network when all is present; silent then, and
# safe to run any number of times. The CUDA toolkit (nvcc) itself is not
# installed here: the product bundle is built when /usr/local/cuda has it.
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

# Tools from PyPI, each pinned, into .tools/ (the build looks there); only
# needed when nvcc is there to build the product bundle. A tool whose pinned
# version is present is left alone: no network then.
#   pypi_tool PACKAGE VERSION FOLDER   (pip's version specifier, e.g. 0.15.2 or 13.*)
pypi_tool() {
  local package="$1" version="$2" target="$root/.tools/$3"
  local record=("$target"/"${package//-/_}"-${version}.dist-info)
  [ -d "${record[0]}" ] && return 0
  echo "Installing $package $version into .tools/$3"
  rm -rf "$target"
  python3 -m pip install -q --disable-pip-version-check --root-user-action=ignore \
    --no-deps --target "$target" "$package==$version"
}

nvcc="$(command -v nvcc || echo /usr/local/cuda/bin/nvcc)"
if [ -x "$nvcc" ]; then
  # zig's clang and C++ runtime build the product bundle's host code for
  # glibc 2.28 (cmake/ProductBundle.cmake).
  pypi_tool ziglang 0.15.2 ziglang
  # cuobjdump of the toolkit's major version for the kernel resource checks,
  # when the toolkit came without it.
  if [ ! -x /usr/local/cuda/bin/cuobjdump ]; then
    major="$("$nvcc" --version | sed -n 's/.*release \([0-9]*\)\..*/\1/p')"
    if [ -n "$major" ] && [ ! -x "$root/.tools/cuobjdump/nvidia/cu$major/bin/cuobjdump" ]; then
      pypi_tool nvidia-cuda-cuobjdump "$major.*" cuobjdump ||
        echo "cuobjdump could not be installed: the kernel resource checks fall back" >&2
    fi
  fi
fi
