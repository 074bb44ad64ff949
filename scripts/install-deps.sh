#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12, and nothing that is there.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libssl-dev libsdl1.2-dev tzdata libicu-dev
    libmicrohttpd-dev nlohmann-json3-dev libsodium-dev libsystemd-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    fonts-wqy-zenhei fonts-dejavu-core libfreetype-dev
    iproute2 openssl curl
    help2man librsvg2-bin qt6-translations-l10n man-db file
    desktop-file-utils appstream shared-mime-info libglib2.0-bin lintian
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
# sudo resets the environment, so the variable goes through env on sudo's side: without it a
# package that asks a question would fall back to debconf's terminal front end.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
