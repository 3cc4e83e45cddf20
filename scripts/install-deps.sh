#!/bin/bash
# Installs the Debian packages the build and tests need, when any is missing.
# `apt-get update` may fail on a stale mirror index; the install usually still works.
set -u
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64
  wine wine64 libwine-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev libre2-dev pkg-config
  libprotobuf-dev protobuf-compiler
  python3 xxd
  tinyproxy-bin
  debootstrap  # makes the i386 root of 32-bit Wine (scripts/i386-root.sh)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q >/dev/null 2>&1 || echo "apt-get update reported an error; trying the install anyway"
apt-get install -y -q --no-install-recommends "${missing[@]}" >/tmp/vu-apt-install.log 2>&1 || {
  tail -n 30 /tmp/vu-apt-install.log
  echo "package installation failed" >&2
  exit 1
}
