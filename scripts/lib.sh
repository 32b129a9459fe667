# Shared helpers of scripts/run and scripts/test. Sourced, not executed.

# Debian packages the build needs. Keep this the only list: a later component
# that needs more (for instance the GUI: qt6-base-dev librtmidi-dev) adds its
# packages here.
SF_PACKAGES=(
  cmake
  ninja-build
  g++
  clang
  libgtest-dev
  libgmock-dev
  googletest
  libbenchmark-dev
  pkg-config
  qt6-base-dev
  qt6-base-dev-tools
  librtmidi-dev
  jackd1
  desktop-file-utils
  appstream
  shared-mime-info
  ccache
  lintian
)

SF_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SF_JOBS="${SF_JOBS:-2}"

# Installs the packages of SF_PACKAGES that are not installed yet; does
# nothing (and needs no network) when everything is there.
sf_install_packages() {
  local missing=()
  local p
  for p in "${SF_PACKAGES[@]}"; do
    if ! dpkg -s "$p" >/dev/null 2>&1; then
      missing+=("$p")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# sf_build DIR [cmake options...]: configures DIR with Ninja and builds it.
sf_build() {
  local dir="$1"
  shift
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    # Paths inside the checkout are hashed relative to it, so that another
    # clone of the same tree finds its objects in the cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$SF_ROOT}"
    export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  fi
  cmake -S "$SF_ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@"
  cmake --build "$dir" -j"$SF_JOBS"
}
