#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
pkgs=(cmake ninja-build g++ g++-multilib libgtest-dev googletest libbenchmark-dev
      libcli11-dev libfmt-dev nlohmann-json3-dev libpng-dev qemu-user ffmpeg
      clang libclang-rt-14-dev
      g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine64 xvfb xauth
      parallel rsync)
# A mirror that is part-way through a sync makes apt-get update fail on one
# index while the rest are fine: try again, then go on with what was fetched
# (the install that follows fails loudly if a package really is missing).
apt_update() {
  local try
  for try in 1 2 3; do
    $sudo_cmd apt-get update -qq && return 0
    echo "install_deps: apt-get update failed (try $try of 3)" >&2
    sleep $((try * 5))
  done
  echo "install_deps: going on with the package lists apt-get could fetch" >&2
}

missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt_update
  $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# The 32-bit Windows plug-in runs under Debian's 32-bit wine, which needs the
# i386 architecture and a kernel that runs 32-bit programs (some have that
# turned off; the 32-bit checks are then skipped and say so).
runs_32_bit() {
  local probe
  probe=$(mktemp)
  printf 'int main(void){return 0;}' | gcc -m32 -x c - -o "$probe" 2>/dev/null && "$probe" 2>/dev/null
  local status=$?
  rm -f "$probe"
  return $status
}
if runs_32_bit; then
  if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo_cmd dpkg --add-architecture i386
    fi
    apt_update
    # Without it the 32-bit Windows check says it was skipped and why; the
    # rest of the suite does not need it.
    $sudo_cmd apt-get install -y -qq wine32:i386 ||
      echo "install_deps: wine32:i386 could not be installed; the 32-bit Windows check will be skipped" >&2
  fi
else
  echo "install_deps: this kernel runs no 32-bit program; 32-bit wine is not installed" \
       "(the 32-bit checks run under qemu or are skipped)"
fi
