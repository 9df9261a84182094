#!/usr/bin/env bash
# Installs the Debian packages the build needs (when they are missing) and builds
# the installation folder build/dist.
#   --sanitize   build the same tree with AddressSanitizer and
#                UndefinedBehaviorSanitizer into build-sanitize/ instead
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDRELL_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-sanitize
  # The instrumented code makes GCC's flow warnings (array bounds, sizes)
  # report false alarms; the plain build is the one whose warnings fail.
  cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANDRELL_SANITIZE=ON -DZANDRELL_WERROR=OFF)
fi

packages=(cmake ninja-build g++ qt6-base-dev libqt6sql6-sqlite libsqlite3-dev
          fonts-dejavu-core xvfb xauth ccache clang libclang-rt-14-dev
          libbenchmark-dev qt6-translations-l10n clang-format
          libsodium-dev
          libpq-dev libqt6sql6-psql # the PostgreSQL backend: the client library and Qt's QPSQL driver
          postgresql-15 postgresql-15-orafce # the shared scheme server the tests and scripts/run-server.sh start
          poppler-utils # pdftotext: the tests read the printable listing's PDF pages back
          binutils-mingw-w64-x86-64
          openbox xdotool x11-utils imagemagick # the acceptance journeys: a window manager, real keys, screenshots
          libqt6gui6) # libqt6gui6: Qt's JPEG plugin (system libjpeg) for the splash picture
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
cmake --build "$build_dir" -j"$(nproc)"
