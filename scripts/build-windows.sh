#!/usr/bin/env bash
# Cross-builds the Windows program with the `windows` presets (mingw-w64) and
# writes dist/yunque-windows-x64.zip, with yunque.exe at its root: a 64-bit,
# statically linked program that needs no DLL beyond those Windows ships.
# Installs the missing Debian packages first (scripts/install-deps.sh
# windows).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows

cmake --preset windows >/dev/null
cmake --build --preset windows --target yunque

exe=build/windows/app/win32/yunque.exe
# Every DLL the program loads must come with Windows itself.
shipped='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|msvcrt|ole32)\.dll$'
while read -r dll; do
  if ! grep -qiE "$shipped" <<<"$dll"; then
    echo "yunque.exe needs $dll, which Windows does not ship" >&2
    exit 1
  fi
done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# The debugging information stays in the build; the user gets the program.
x86_64-w64-mingw32-strip -o "$stage/yunque.exe" "$exe"

mkdir -p dist
zip=dist/yunque-windows-x64.zip
rm -f "$zip"
(cd "$stage" && zip -q -X "$OLDPWD/$zip" yunque.exe)
echo "wrote $zip"
