#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan, UBSan) in build-fuzz and runs each one for a
# time box; fails when any target finds a crash, a hang or a failed check.
#
#   scripts/fuzz.sh                  every target, 50 seconds each
#   scripts/fuzz.sh 300 project_file one target for five minutes
#
# Environment: FUZZ_BUILD (build folder, default build-fuzz), FUZZ_PARALLEL (targets run at
# once, default the number of cores), FUZZ_JOBS (build jobs, default the number of cores).
# New corpus entries and crash inputs stay below $FUZZ_BUILD/fuzz-work/<target>/; see
# docs/fuzzing.md for turning a crash into a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-50}
[[ $# -gt 0 ]] && shift
build=${FUZZ_BUILD:-build-fuzz}
cores=$(nproc)
parallel=${FUZZ_PARALLEL:-$cores}
jobs=${FUZZ_JOBS:-$cores}

# Only the core libraries and the fuzz programs are built here.
if [[ ! -f $build/build.ninja ]]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLMI_FUZZ=ON -DTOLMI_TESTS=OFF -DTOLMI_BENCH=OFF
fi
cmake --build "$build" -j "$jobs" --target fuzz_targets

# The targets' scratch folders go below one folder in memory that is removed at the end:
# libFuzzer ends a time-boxed run without running destructors, so they cannot remove their own.
scratch=$(mktemp -d "$([[ -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/tolmi-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

if [[ $# -gt 0 ]]; then
  targets=("$@")
else
  targets=()
  for source in tests/fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

run_target() {
  local target=$1
  local work=$build/fuzz-work/$target
  mkdir -p "$work/corpus" "$work/crashes"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$work/crashes/")
  [[ -f tests/fuzz/dict/$target.dict ]] && args+=(-dict="tests/fuzz/dict/$target.dict")
  # New inputs go into the first folder (in the build folder); the seeds are only read.
  local corpora=("$work/corpus")
  for dir in "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target"; do
    [[ -d $dir ]] && corpora+=("$dir")
  done
  if "$build/tests/fuzz/fuzz_$target" "${args[@]}" "${corpora[@]}" >"$work/log.txt" 2>&1; then
    local rate
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log.txt" | tail -1)
    echo "fuzz_$target: ok, ${rate:-?} runs/s, corpus $(ls "$work/corpus" | wc -l) new inputs"
  else
    echo "fuzz_$target: FAILED, inputs in $work/crashes/ (log: $work/log.txt)"
    grep -E "ERROR|fuzz check failed|runtime error|SUMMARY|Test unit written" "$work/log.txt" |
      head -20 || true
    return 1
  fi
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [[ ! -x $build/tests/fuzz/fuzz_$target ]]; then
    echo "fuzz_$target: no such fuzz program" >&2
    failed=1
    continue
  fi
  run_target "$target" &
  running=$((running + 1))
  if ((running >= parallel)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
if ((failed)); then
  echo "fuzzing found failures" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets ran ${seconds}s each without a failure"
