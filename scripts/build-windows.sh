#!/usr/bin/env bash
# Cross-builds voltark.exe (the desktop program), voltark-cli.exe, mp2enc.exe
# and ac3dec.exe for 64-bit and 32-bit Windows (statically linked) and packs
# each set with README.txt and
# LICENSE into dist/voltark-VERSION-win64.zip and -win32.zip.
# Checks that every program imports only Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
version=$(sed -n 's/^project(voltark VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# The DLLs every Windows since 10 has in System32 (the desktop program's
# windows and dialogs: user32, gdi32, comctl32, comdlg32, shell32, ole32).
system_dlls='^(kernel32|msvcrt|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ole32|oleaut32|ws2_32|bcrypt|ntdll|api-ms-win-.*|ucrtbase)\.dll$'

mkdir -p dist
for arch in win64:x86_64 win32:i686; do
  name=${arch%%:*} cpu=${arch#*:}
  build=build-$name
  [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja "${launcher[@]}" \
      -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$cpu.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DVOLTARK_BUILD_TESTS=OFF -DVOLTARK_BUILD_BENCH=OFF
  cmake --build "$build" -j "$JOBS" --target voltark voltark-cli mp2enc ac3dec

  stage=$(mktemp -d)
  folder=$stage/voltark-$version-$name
  mkdir -p "$folder"
  for exe in voltark voltark-cli mp2enc ac3dec; do
    "$cpu-w64-mingw32-strip" -o "$folder/$exe.exe" "$build/bin/$exe.exe"
    bad=$("$cpu-w64-mingw32-objdump" -p "$folder/$exe.exe" | sed -n 's/^\s*DLL Name: //p' |
          tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
    if [ -n "$bad" ]; then
      echo "$exe.exe ($name) imports DLLs that are not Windows' own: $bad" >&2
      exit 1
    fi
  done
  sed "s/@VERSION@/$version/g; s/@ARCH@/$name/g" scripts/windows-readme.txt | sed 's/$/\r/' > "$folder/README.txt"
  sed 's/$/\r/' LICENSE > "$folder/LICENSE.txt"
  rm -f "dist/voltark-$version-$name.zip"
  (cd "$stage" && zip -qr "$OLDPWD/dist/voltark-$version-$name.zip" "voltark-$version-$name")
  rm -rf "$stage"
  echo "dist/voltark-$version-$name.zip"
done
