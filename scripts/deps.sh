# Installs the Debian packages the build, the tests and the tools need, when any is missing.
# Sourced by run.sh and test.sh; QUILLAN_PACKAGES_EXTRA adds more for a caller.

quillan_build_packages=(build-essential cmake ninja-build ccache pkg-config
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libsqlite3-dev
  qt6-base-dev fonts-dejavu-core fonts-ipafont-gothic)
quillan_test_packages=(libgtest-dev libbenchmark-dev ffmpeg sox sndfile-programs clang libclang-rt-14-dev desktop-file-utils)

quillan_ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing the Debian packages that are missing (a minute or two): ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
