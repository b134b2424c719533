#!/usr/bin/env bash
# KelvoPhotos set-up: installs what the project needs, builds it, runs the main job or the tests.
#   ./kelvophotos.sh run    install, build, and run the main job on an embedded SQLite database
#   ./kelvophotos.sh test   install, build, and run every test (ctest)
#   ./kelvophotos.sh build  build only;  ./kelvophotos.sh deps  install only
set -euo pipefail
cd "$(dirname "$0")"
BUILD=${KELVO_BUILD_DIR:-build}
PACKAGES="cmake g++ make qt6-base-dev libgl-dev libsqlite3-dev libpq-dev postgresql
  libgtest-dev libgmock-dev libbenchmark-dev libwmf-dev libuemf-dev libemf2svg-dev qt6-svg-dev pkg-config fonts-urw-base35
  fonts-dejavu-core fonts-crosextra-carlito locales dpkg-dev pybind11-dev python3-dev
  clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 xvfb xauth"

deps() {
  missing=$(for p in $PACKAGES; do dpkg -s "$p" >/dev/null 2>&1 || echo "$p"; done)
  if [ -n "$missing" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
  fi
  # The tests switch to a locale whose decimal point is a comma.
  if ! locale -a 2>/dev/null | grep -qx 'de_DE.utf8'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
      echo "kelvophotos.sh: cannot make the de_DE.UTF-8 locale (needs root); its tests fail" >&2
  fi
}

build() {
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KELVO_CMAKE_ARGS:-} >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
}

run_tests() {
  local started=""
  if [ -z "${KELVO_PG_URI:-}" ] && [ "$(id -u)" = 0 ]; then
    KELVO_PG_URI=$(scripts/pg-server.sh start); started=$(cat /tmp/kelvo-pg-last)
    export KELVO_PG_URI
    trap 'scripts/pg-server.sh stop "$started"' EXIT
  fi
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)" --timeout 600
}

case "${1:-}" in
deps) deps ;;
build) deps; build ;;
run)
  deps; build; shift
  if [ $# -eq 0 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    # No screen here: seed and list the sample database, and say how to see the window.
    "$BUILD/app/kelvophotos" demo --no-window
    echo "No display: to open the editor window run 'xvfb-run ./kelvophotos.sh run' or run it on a desktop."
  else
    exec "$BUILD/app/kelvophotos" "${@:-demo}"
  fi ;;
test) deps; build; run_tests ;;
*) echo "usage: $0 run|test|build|deps" >&2; exit 2 ;;
esac
