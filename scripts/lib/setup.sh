# Shared set-up for scripts/demo and scripts/test: install the Debian packages
# the project builds with, then configure and build into a build folder.
# Sourced, not run.

DM_PACKAGES=(
  cmake ninja-build g++ clang pkg-config
  libegl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
  qt6-base-dev
  libstb-dev zlib1g-dev libassimp-dev libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libembree-dev
  libopenmpi-dev openmpi-bin
)

dm_install_packages() {
  local missing=()
  local p
  for p in "${DM_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "error: missing Debian packages: ${missing[*]}" >&2
    echo "install them with: sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
  echo "Installing Debian packages: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >&2 || true
  apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# dm_build BUILD_DIR [extra cmake arguments...]
dm_build() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja "$@" >&2
  cmake --build "$dir" -j "$(nproc)" >&2
}
