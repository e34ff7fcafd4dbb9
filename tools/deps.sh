#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, Qt's own catalogues among them;
# does nothing when all are there. --qt6 adds what the Qt 6 build needs besides.
set -euo pipefail
packages=(
    cmake make g++ pkg-config
    qtbase5-dev libqt5serialport5-dev libqcustomplot-dev qttools5-dev qttools5-dev-tools
    libcurl4-openssl-dev libssl-dev libtinyxml2-dev
    libgtest-dev libbenchmark-dev libcpp-httplib-dev liblzma-dev curl openssl
    mosquitto libmosquitto-dev
    fonts-wqy-microhei qttranslations5-l10n clang-format
)
for arg in "$@"; do
    case "$arg" in
    --qt6) packages+=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools libqcustomplot2.1-qt6 qt6-translations-l10n) ;;
    *) echo "usage: $0 [--qt6]" >&2; exit 2 ;;
    esac
done
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
