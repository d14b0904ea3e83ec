#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says (clang-format
# 14). Prints each difference and exits non-zero when there is one; changes nothing.
#   bash scripts/check-format.sh [clang-format program]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
format="${1:-clang-format}"
command -v "$format" >/dev/null || { echo "check-format: $format not found" >&2; exit 2; }

cd "$root"
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
[[ ${#files[@]} -gt 0 ]] || { echo "check-format: no C++ files tracked" >&2; exit 2; }
if "$format" --dry-run -Werror --style=file -- "${files[@]}"; then
    echo "check-format: ${#files[@]} files formatted"
else
    echo "check-format: files above differ from .clang-format; apply with: $format -i FILE" >&2
    exit 1
fi
