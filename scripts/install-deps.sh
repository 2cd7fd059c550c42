#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing for building and running
# the program ("run") or, in addition, for the whole test suite ("test").
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n libxcb1-dev fonts-wqy-microhei)
test_packages=(googletest libgtest-dev xvfb openbox xdotool wmctrl x11-utils imagemagick python3 python3-xlrd)

wanted=("${build_packages[@]}")
case "${1:-run}" in
  run) ;;
  test) wanted+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
