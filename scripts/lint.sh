#!/usr/bin/env bash
# Formatting and static analysis: clang-format must leave every file as it is and clang-tidy
# (checks in .clang-tidy) must find nothing.  Needs a configured build folder for
# compile_commands.json:  scripts/lint.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}

echo "== clang-format"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format-14 --dry-run --Werror

echo "== clang-tidy"
# Only the units the build compiles (optional parts that are off have no compile command).
python3 - "$BUILD/compile_commands.json" <<'PY' | xargs -0 -r -P"$(nproc)" -n4 clang-tidy-14 -p "$BUILD" --quiet
import json, os, subprocess, sys
tracked = set(subprocess.run(["git", "ls-files", "-z"], capture_output=True, check=True)
              .stdout.decode().split("\0"))
units = {os.path.relpath(entry["file"]) for entry in json.load(open(sys.argv[1]))}
sys.stdout.write("".join(f + "\0" for f in sorted(units & tracked) if f.endswith(".cpp")))
PY
echo "lint: clean"
