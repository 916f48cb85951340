#!/usr/bin/env bash
# Morvane developer entry point.
#   tools/dev.sh run    install what is missing, build, start the program
#   tools/dev.sh test   install what is missing, build, run every test
#                       (plain build, then the AddressSanitizer/UBSan build;
#                        MORVANE_SANITIZE=0 skips the second)
#   tools/dev.sh package  install what is missing, build, make the Debian package
#                       build/morvane_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libgmp-dev libssl-dev zlib1g-dev
          # the window, its pictures and installed files
          qt6-base-dev qt6-svg-dev libgl-dev librsvg2-bin desktop-file-utils appstream python3
          # the window's English: lupdate and lrelease
          qt6-l10n-tools
          # the CLI's JSON output is checked against its schema
          python3-jsonschema
          # running the window without a screen, driving and photographing it
          xvfb xauth xdotool xclip x11-apps imagemagick
          # the Debian package and its checks
          dpkg-dev lintian
          # the window's pair of faces: a Latin sans and a CJK sans
          fonts-dejavu-core fonts-wqy-microhei
          # killing a write at its fsync, for the test of leftovers
          strace

          # reading the window as a screen reader does (AT-SPI on a private session bus)
          dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0)

install_missing() {
  local missing=() sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
  fi
  # The window's texts are Chinese: without a CJK face they would show as boxes.
  if ! fc-list :lang=zh 2>/dev/null | grep -q .; then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq fonts-arphic-uming
  fi
}

jobs=$(nproc)

# ccache, where installed, lets several work trees share one compile cache.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi

build() { # build <dir> [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

case "${1:-}" in
  run)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    # The program's own exit code comes back (non-zero when there is no display).
    exec ./build/ui/morvane
    ;;
  test)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    ctest --test-dir build --output-on-failure -j "$jobs"
    if [ "${MORVANE_SANITIZE:-1}" != 0 ]; then
      build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_SANITIZE=ON
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir build-asan --output-on-failure -j "$jobs"
    fi
    ;;
  package)
    install_missing
    build build -DCMAKE_BUILD_TYPE=Release
    (cd build && cpack -G DEB)
    ls build/morvane_*.deb
    ;;
  *)
    echo "usage: $0 run|test|package" >&2
    exit 2
    ;;
esac
