#!/usr/bin/env bash
# Installs the Debian packages tools/windows_check.sh needs: the mingw-w64
# cross compilers for 32- and 64-bit Windows, 64-bit wine, a virtual X display
# for the settings-window test, and qemu's user-mode emulator for 32-bit Linux
# programs on kernels that run none natively.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd=sudo
pkgs=(g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine64 xvfb xauth qemu-user)
missing=()
for p in "${pkgs[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
