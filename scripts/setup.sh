# Shared by the test and run commands (sourced, not run): installs the Debian packages that are missing.
#
#   need_packages cmake ninja-build ...
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "== installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What each build needs.
BUILD_PACKAGES=(cmake ninja-build g++ pkg-config)
# The Linux program: GTK 3 for its window and a CJK font for its captions.
LINUX_PACKAGES=(libgtk-3-dev libx11-dev libxi-dev fonts-wqy-microhei)
# The Windows program, cross-built and run under Wine.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 fonts-wqy-microhei)
# The tests: unit tests, and an X server with a window manager and tools to drive and watch the programs.
TEST_PACKAGES=(libgtest-dev libbenchmark-dev python3 xvfb openbox xdotool x11-utils imagemagick
               picom twm x11-xkb-utils chromium firefox-esr)
