#!/usr/bin/env bash
# cmake --install puts the program, its icons and its menu entry into a prefix.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/yunque share/applications/yunque.desktop share/icons/hicolor/scalable/apps/yunque.svg \
            share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/yunque.png; do
  [[ -s $prefix/$file ]] || { echo "FAIL: $file not installed"; exit 1; }
done
[[ -x $prefix/bin/yunque ]] || { echo "FAIL: program not executable"; exit 1; }
grep -qx 'Exec=yunque' "$prefix/share/applications/yunque.desktop"
grep -qx 'Icon=yunque' "$prefix/share/applications/yunque.desktop"
echo "install: passed"
