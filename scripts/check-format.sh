#!/usr/bin/env bash
# scripts/check-format.sh: lists every C++ file that differs from .clang-format; exit 1 if any.
# scripts/check-format.sh --fix formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format || true)
if [ -z "$format" ]; then
  echo "check-format: clang-format is not installed; run scripts/setup.sh first." >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  "$format" --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'check-format: %s differs from .clang-format\n' "${bad[@]}"
  echo "check-format: ${#bad[@]} file(s); scripts/check-format.sh --fix formats them." >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as .clang-format has them"
