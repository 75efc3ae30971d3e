#!/usr/bin/env bash
# Runs every built libFuzzer target for a while on a copy of its seed corpus; builds nothing.
# Usage: fuzz/run-all.sh [seconds per target, default 60]. Non-zero exit on any finding.
set -uo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin_dir="$root/build/fuzz/fuzz"
work="$(mktemp -d "${TMPDIR:-/tmp}/sarnivox-fuzz.XXXXXX")"

shopt -s nullglob
targets=("$bin_dir"/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "run-all.sh: no fuzz_* binaries in $bin_dir (cmake --preset fuzz && cmake --build --preset fuzz)" >&2
  exit 2
fi

# Recoverable undefined behaviour counts as a finding too.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=0
for binary in "${targets[@]}"; do
  [ -x "$binary" ] || continue
  name="$(basename "$binary")"
  dir="$work/$name"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  if [ -d "$root/fuzz/corpus/$name" ]; then cp -R "$root/fuzz/corpus/$name/." "$dir/corpus/"; fi

  "$binary" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1
  status=$?

  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)"
  cov="$(grep -o 'cov: [0-9]*' "$dir/log" | tail -n 1 | cut -d' ' -f2)"
  artifacts=("$dir"/artifacts/*)
  if [ $status -eq 0 ] && [ ${#artifacts[@]} -eq 0 ]; then
    echo "$name: ok, ${runs:-?} runs in ${seconds}s, coverage ${cov:-?}, corpus $(ls "$dir/corpus" | wc -l) inputs"
  else
    failed=1
    echo "$name: FINDING (exit $status), inputs: ${artifacts[*]:-none}, log: $dir/log"
    grep -E 'ERROR|invariant failed|runtime error|SUMMARY' "$dir/log" | head -n 5 | sed 's/^/  /'
  fi
done

# Findings stay on disk for a look; a clean run leaves nothing behind.
if [ $failed -eq 0 ]; then rm -rf "$work"; fi
exit $failed
