#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only those that are missing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-translations-l10n libxml2-dev libxml2-utils libgtest-dev libbenchmark-dev time
    xvfb xauth xdotool x11-utils x11-apps imagemagick libx11-dev
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix locales strace
)
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Instalando: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# The date tests format under the Spanish regional settings.
if ! locale -a 2>/dev/null | grep -qix 'es_ES\.utf-\?8'; then
    echo "Generando la configuración regional es_ES.UTF-8"
    $SUDO localedef -i es_ES -f UTF-8 es_ES.UTF-8
fi
