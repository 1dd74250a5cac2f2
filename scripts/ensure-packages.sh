#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those missing; apt-get update runs
# only when something has to be installed. Run as root (or with sudo available).
set -euo pipefail

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libcli11-dev libserialport-dev qt6-base-dev qt6-translations-l10n "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
