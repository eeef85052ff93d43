#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
pkgs=(cmake ninja-build g++ g++-multilib libgtest-dev googletest libbenchmark-dev
      libcli11-dev libfmt-dev libpng-dev qemu-user ffmpeg
      clang libclang-rt-14-dev
      g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine64 xvfb xauth)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
