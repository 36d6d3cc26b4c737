#!/usr/bin/env bash
# checker_test.sh CHECK-DOCS BIN MOVIES FIXTURES: scripts/check-docs.sh passes a page whose
# marked commands work (and runs only those), and fails, naming the file, the line and the
# command, on a page with a failing command, with no marked command or with a marker and no block.
set -uo pipefail
check=$1 bin=$2 movies=$3 fixtures=$4
out=$(mktemp)
trap 'rm -f "$out"' EXIT
problems=0
fail() {
  echo "checker_test: $*"
  sed 's/^/  | /' "$out"
  problems=1
}

bash "$check" --bin "$bin" --movies "$movies" "$fixtures/passes.md" >"$out" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "passes.md: exit status $rc, 0 expected"
grep -q "fixtures/passes.md: 7 commands" "$out" || fail "passes.md: not its 7 marked commands"
grep -q "runs as: .*skvplay --headless .*--max-frames 2 qmsp://127.0.0.1:[0-9]" "$out" ||
  fail "passes.md: skvplay did not run headless, on the server's real port"
grep -q "all 7 documented commands worked" "$out" || fail "passes.md: no summary"

bash "$check" --bin "$bin" --movies "$movies" "$fixtures/fails.md" >"$out" 2>&1
rc=$?
[ "$rc" -eq 1 ] || fail "fails.md: exit status $rc, 1 expected"
grep -q "^FAILED .*fixtures/fails.md:6: build/release/bin/skvc dump no-such-movie.skm$" "$out" ||
  fail "fails.md: the failure does not name fails.md:6 and its command"
grep -q "ran-too-far" "$out" && fail "fails.md: a command after the failing one ran"

bash "$check" --bin "$bin" --movies "$movies" "$fixtures/unmarked.md" >"$out" 2>&1
rc=$?
[ "$rc" -eq 1 ] || fail "unmarked.md: exit status $rc, 1 expected"
grep -q "no block is marked" "$out" || fail "unmarked.md: does not say nothing was marked"

bash "$check" --bin "$bin" --movies "$movies" "$fixtures/dangling.md" >"$out" 2>&1
rc=$?
[ "$rc" -eq 1 ] || fail "dangling.md: exit status $rc, 1 expected"
grep -q "fixtures/dangling.md:4: <!-- run --> is not followed by a block" "$out" ||
  fail "dangling.md: the lone marker is not reported at its line"

exit "$problems"
