#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need,
# only those that are missing. Needs root (or sudo) when anything is missing.
# With "windows": what the Windows cross build and its tests under Wine need
# besides (`make windows`, `make test-windows`).
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libblkid-dev
  qt6-base-dev
  ffmpeg mpg123 twolame
  clang libclang-rt-14-dev
  python3
  libdvdread-dev mjpegtools dvdauthor genisoimage lsdvd
  fuse3 libfuse3-dev
)
if [ "${1:-}" = windows ]; then
  # GoogleTest for Windows is built from Debian's sources (googletest);
  # CLI11 and nlohmann-json are header-only and come from the lists above.
  # voltark.exe is driven on a virtual X server (xvfb, xdotool) and
  # photographed (ImageMagick's import); fonts-wine has the font of the
  # caption buttons Wine draws.
  packages+=(
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
    binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
    googletest wine64 zip file
    xvfb xauth xdotool imagemagick fonts-wine
  )
  # The 32-bit programs' tests run under wine32, an i386 package: the i386
  # architecture is added to dpkg's list before the package lists are read.
  if [ "$(dpkg --print-architecture)" = amd64 ]; then
    packages+=(wine32:i386)
  fi
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
run=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then run=(sudo); else
    if [ "${missing[*]}" = wine32:i386 ]; then
      echo "wine32:i386 is missing and this user cannot install it: the 32-bit Windows tests are left out" >&2
      exit 0
    fi
    echo "These packages are missing and this user cannot install them: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture to dpkg (for wine32)"
  "${run[@]}" dpkg --add-architecture i386
fi
"${run[@]}" apt-get update -qq
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
