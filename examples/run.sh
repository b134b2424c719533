#!/usr/bin/env bash
# Builds and runs every example against an installed KelvoPhotos:
#   examples/run.sh PREFIX [DATABASE...]   (PREFIX /usr for the Debian packages)
# Each example runs once per database given (default: a SQLite file in a scratch folder).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(cd "$1" && pwd); shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ $# -gt 0 ] || set -- "$work/examples.sqlite"
export LD_LIBRARY_PATH="$prefix/lib:$prefix/lib/$(gcc -print-multiarch)${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"

for example in host-cpp host-c; do
  echo "== $example (against $prefix)"
  cmake -S "$here/$example" -B "$work/$example" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/$example" >/dev/null
  for db in "$@"; do (cd "$work" && "$work/$example/$example" "$db"); done
done

echo "== python/attach_photos.py"
export PYTHONPATH="$prefix/lib/python3/dist-packages:$prefix/lib/$(gcc -print-multiarch)/python3/dist-packages"
for db in "$@"; do (cd "$work" && python3 "$here/python/attach_photos.py" "$db"); done

echo "== host-c through pkg-config"
PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/$(gcc -print-multiarch)/pkgconfig" \
  sh -c 'cc -o "$1" "$2" $(pkg-config --define-prefix --cflags --libs kelvophotos)' - "$work/host-c-pc" "$here/host-c/main.c"
(cd "$work" && "$work/host-c-pc" "$1")
