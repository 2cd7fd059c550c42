#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing for building and running
# the program ("run") or, in addition, for the whole test suite ("test"), or
# for cross-building the Windows program and packing it ("windows").
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n libxcb1-dev fonts-wqy-microhei)
test_packages=(googletest libgtest-dev xvfb openbox xdotool wmctrl x11-utils imagemagick python3 python3-xlrd)
# Other desktops for the end-to-end tests: a window manager that announces
# the frame late, and a headless Wayland compositor with the toolkit's plugin.
test_packages+=(fluxbox weston qt6-wayland)
# The Windows build of the core and its tests under Wine, in a Chinese locale;
# the Windows program's end-to-end tests paste text with xclip and need
# Wine's caption-button font from fonts-wine.
windows_test_packages=(g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 locales xclip fonts-wine)
# The Windows program alone, its test programs built but not run, and zip.
windows_build_packages=(cmake ninja-build g++-mingw-w64-x86-64 mingw-w64-tools googletest zip)

mode=${1:-run}
wanted=("${build_packages[@]}")
case $mode in
  run) ;;
  test) wanted+=("${test_packages[@]}" "${windows_test_packages[@]}") ;;
  windows) wanted=("${windows_build_packages[@]}") ;;
  *) echo "usage: $0 [run|test|windows]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes a program's code page from the locale: zh_CN.UTF-8 gives code
# page 936, as on a Chinese Windows. Debian ships the locale's sources only.
if [[ $mode == test ]] && ! locale -a | grep -qix 'zh_CN\.utf-\?8'; then
  echo "Generating the zh_CN.UTF-8 locale"
  "${sudo[@]}" localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
