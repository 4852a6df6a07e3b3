# Sourced by the build scripts: where the tree and the build are, and nvcc.
KALTHORNE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KALTHORNE_BUILD="${KALTHORNE_BUILD:-$KALTHORNE_ROOT/build}"
KALTHORNE_JOBS="${KALTHORNE_JOBS:-3}"
if ! command -v nvcc >/dev/null 2>&1 && [ -x /usr/local/cuda/bin/nvcc ]; then
  export PATH="/usr/local/cuda/bin:$PATH"
fi
