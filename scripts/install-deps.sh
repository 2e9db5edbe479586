#!/usr/bin/env bash
# Installs what building, running and testing Zerval needs on Debian 12; quiet when all is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-multimedia-dev libgl-dev fonts-dejavu-core fonts-liberation2
  qt6-l10n-tools qt6-tools-dev qt6ct
  clang libclang-rt-14-dev libbenchmark-dev libbz2-dev
  xvfb xauth imagemagick xdotool qstat nodejs
  dpkg-dev librsvg2-bin desktop-file-utils appstream groff-base lintian time
  libcpp-httplib-dev prometheus systemd
)
command -v npm >/dev/null || packages+=(npm)  # a Node.js from elsewhere brings its own npm

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # Prometheus is here for the tests, which start their own; the package's service must not run.
  if [[ " ${missing[*]} " == *" prometheus "* ]]; then
    if [[ -d /run/systemd/system ]]; then
      systemctl disable --now prometheus >/dev/null 2>&1 || true
    else
      /etc/init.d/prometheus stop >/dev/null 2>&1 || true
    fi
  fi
fi
