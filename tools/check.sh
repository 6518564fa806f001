#!/usr/bin/env bash
# Builds the program three times and runs the tests in each build: plain
# (every test), with the thread sanitizer and without GDAL (the tests that
# run two threads, and the command line's) and with the address and
# undefined-behaviour sanitizers (every test);
# between them, fuzzes each target briefly when clang is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVEL_TESTS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# A short fuzzing run of every target, from the corpus kept in the repository,
# when clang and its fuzzing runtime are there (.ci/run installs them).
# ZORVEL_FUZZ_SECONDS sets the time per target; 0 skips it. A fuzzer runs
# on one core: as many run side by side as there are cores.
fuzz_seconds=${ZORVEL_FUZZ_SECONDS:-30}
fuzz_one() {
  local target=$1 status=0 folders=()
  mkdir -p "build-fuzz/corpus_$target"
  # the fuzzer refuses a folder that is not there (a target without regressions yet)
  for f in "build-fuzz/corpus_$target" "fuzz/corpus/$target" "fuzz/regressions/$target"; do
    [ -d "$f" ] && folders+=("$f")
  done
  # new inputs go to the build folder; a finding is written there and fails the run
  build-fuzz/fuzz/fuzz_$target -max_total_time="$fuzz_seconds" -print_final_stats=1 \
    -artifact_prefix="build-fuzz/finding_$target-" "${folders[@]}" >"build-fuzz/fuzz_$target.log" 2>&1 || status=$?
  echo "fuzz_$target: $(grep -E "^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY|INFO: Seed)" \
    "build-fuzz/fuzz_$target.log" | tr '\n' ' ')"
  if compgen -G "build-fuzz/finding_$target-*" >/dev/null; then
    echo "fuzzing $target found a failing input: $(ls build-fuzz/finding_$target-*)" >&2
    return 1
  fi
  # a fuzzer that stops without a finding has not fuzzed: its last words say why
  if [ "$status" -ne 0 ]; then
    echo "fuzzing $target stopped with status $status:" >&2
    tail -3 "build-fuzz/fuzz_$target.log" >&2
    return 1
  fi
}
if [ "$fuzz_seconds" -gt 0 ] && command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVEL_FUZZ=ON
  cmake --build build-fuzz -j"$jobs" --target fuzz_run fuzz_geometry fuzz_gpkg_blob fuzz_fill
  pids=() failed=0
  for target in run geometry gpkg_blob fill; do
    if [ "${#pids[@]}" -ge "$jobs" ]; then
      wait "${pids[0]}" || failed=1
      pids=("${pids[@]:1}")
    fi
    fuzz_one "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  [ "$failed" -eq 0 ] || exit 1
fi

# the tests that run two threads (pass one's second half, the drawer, the fill, whole
# runs) under the thread sanitizer; this build leaves GDAL out, so the
# command line's tests also check the program as built without it
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORVEL_TSAN=ON -DZORVEL_TESTS=ON -DZORVEL_GDAL=OFF
cmake --build build-tsan -j"$jobs" --target zorvel_raster thread_tests replay_run replay_fill cli_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan -L threads --output-on-failure -j"$jobs"
ctest --test-dir build-tsan -R "^CommandLine" --output-on-failure -j"$jobs"

# the address and undefined-behaviour sanitizer build last: its summary closes
# the output; the test under an address-space limit is left out, the
# sanitizers' shadow memory does not fit one, and so is QGIS's provider,
# whose Python is the same in every build (the plain build runs it)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZORVEL_SANITIZE=ON -DZORVEL_TESTS=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -LE rlimit -E '^qgis_provider$'
