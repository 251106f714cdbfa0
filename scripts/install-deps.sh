#!/bin/bash
# Installs everything Korvel needs to build, test and benchmark on Debian 12.
# Idempotent: packages already present are skipped, and apt is not touched when
# nothing is missing. Needs root (or sudo).
#
#   scripts/install-deps.sh          build and test set
#   scripts/install-deps.sh --build  only what building needs
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# desktop-file-utils, dpkg-dev and file: the Debian package (cpack -G DEB)
# and its test.
BUILD_PKGS=(g++ make cmake ninja-build pkg-config ccache
            qt6-base-dev qt6-multimedia-dev
            desktop-file-utils dpkg-dev file
            libfftw3-dev libpng-dev nlohmann-json3-dev libgeographiclib-dev
            libgtest-dev libgmock-dev libbenchmark-dev qt6-qpa-plugins)
# clang and its runtime for the libFuzzer targets; clang-tidy and clang-format
# for the check of each commit's changed lines (scripts/lint-changed.sh); Xvfb for screenshots; a private
# PulseAudio with a null sink for the audio tests; sox to measure what was played;
# GNU parallel for the test of runs over a folder.
TEST_PKGS=(clang libclang-rt-14-dev clang-tidy clang-format
           xvfb xauth pulseaudio pulseaudio-utils sox imagemagick parallel man-db)

want=("${BUILD_PKGS[@]}")
case "${1:-}" in
    --build) ;;
    "") want+=("${TEST_PKGS[@]}") ;;
    *) echo "usage: $0 [--build]" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#want[@]} packages present"
    exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root (missing: ${missing[*]})" >&2; exit 1; }
    SUDO=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
APT=("${SUDO[@]}" apt-get -q -o DPkg::Lock::Timeout=600)
"${APT[@]}" update
"${APT[@]}" install -y --no-install-recommends "${missing[@]}"
echo "install-deps: done"
