#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format ccache
  libsqlite3-dev libgsf-1-dev mdbtools-dev mdbtools libtomlplusplus-dev
  libgtest-dev python3 python3-xlrd nodejs
  qt6-base-dev qt6-translations-l10n xvfb xauth
  dpkg-dev man-db desktop-file-utils
  # the widths test measures text in Liberation Sans; the screenshots print workbooks with
  # LibreOffice and turn the page into a picture with pdftoppm
  python3-pil fonts-liberation2 libreoffice-calc-nogui poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
