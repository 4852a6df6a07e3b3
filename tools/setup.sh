#!/usr/bin/env bash
# Installs what a fresh Debian-family build machine lacks for this project:
# Debian packages through apt-get (root, or sudo): compiler, CMake,
# GoogleTest, nm and clang (fuzzing), expat (for the OpenFX standard's host
# support library in the conformance tests); PyPI packages through pip into
# .tools/: zig (the product bundle's host code), and cuobjdump (the kernel
# resource checks) and nvdisasm (the frame-cost bench) when the CUDA toolkit
# came without them. Installs only what is missing, and touches no network
# when all is present; silent then, and safe to run any number of times.
# The CUDA toolkit (nvcc) itself is not installed here: the product bundle
# is built when /usr/local/cuda has it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages, only the missing ones (one dpkg query): no network when
# all are there.
#   apt_missing WHY PACKAGE...
apt_missing() {
  local why="$1"
  shift
  local installed=" $(dpkg-query -W -f='${Package}=${Status} ' "$@" 2>/dev/null || true) "
  local missing=()
  for p in "$@"; do
    [[ "$installed" == *" $p=install ok installed "* ]] || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing$why: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

apt_missing "" cmake make g++ libgtest-dev binutils clang libexpat1-dev

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
  # and nvdisasm, which it runs to disassemble for the frame-cost bench's
  # machine-code counts, when the toolkit came without them.
  major="$("$nvcc" --version | sed -n 's/.*release \([0-9]*\)\..*/\1/p')"
  if [ ! -x /usr/local/cuda/bin/cuobjdump ]; then
    if [ -n "$major" ] && [ ! -x "$root/.tools/cuobjdump/nvidia/cu$major/bin/cuobjdump" ]; then
      pypi_tool nvidia-cuda-cuobjdump "$major.*" cuobjdump ||
        echo "cuobjdump could not be installed: the kernel resource checks fall back" >&2
    fi
  fi
  if [ ! -x /usr/local/cuda/bin/nvdisasm ]; then
    if [ -n "$major" ] && [ ! -x "$root/.tools/nvdisasm/nvidia/cu$major/bin/nvdisasm" ]; then
      pypi_tool nvidia-cuda-nvdisasm "$major.*" nvdisasm ||
        echo "nvdisasm could not be installed: the frame-cost bench cannot read the machine code" >&2
    fi
  fi
fi

# NatronRenderer's runtime packages (Qt 5, PySide2, OpenColorIO...) for the
# tests in a real host, when the prebuilt renderer lies beside the clone in
# ../shared/natron; only the missing ones, so no network when all are there.
natron="$root/../shared/natron"
if [ -f "$natron/packages.txt" ]; then
  apt_missing " for NatronRenderer" $(grep -v '^#' "$natron/packages.txt" | cut -d= -f1)
fi
