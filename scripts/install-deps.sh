#!/usr/bin/env bash
# Installs every Debian package that building, testing and running lerk needs.
# Works as root and through sudo; skips apt entirely when everything is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-image-formats-plugins qt6-translations-l10n qt6-l10n-tools
  libgl-dev libsqlite3-dev sqlite3 libzip-dev zip unzip libxlsxwriter-dev
  xvfb xauth poppler-utils fonts-dejavu-core
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
