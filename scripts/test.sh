#!/usr/bin/env bash
# Builds and runs every test: the normal build, the AddressSanitizer+UBSan build,
# the threaded tests under ThreadSanitizer, and a bounded run of each fuzz target;
# each build folder is also checked against scripts/setup.sh (check-setup.sh).
#   FUZZ_SECONDS=N  seconds per fuzz target (default 40; 0 skips fuzzing)
#   QUICK=1         only the normal build
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-40}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
summary=()
passed=0
failed=0

start=$SECONDS
stage() { echo; echo "=== $* (at $((SECONDS - start)) s) ==="; }

run_ctest() {
  local name=$1; shift
  local log
  log=$(mktemp)
  set +e
  ctest "$@" --output-on-failure -j"$jobs" --timeout 900 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    local f=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    passed=$((passed + total - f))
    failed=$((failed + f))
    summary+=("$name: $((total - f)) passed, $f failed")
  else
    summary+=("$name: no result (exit $rc)")
    [ "$rc" -eq 0 ] || failed=$((failed + 1))
  fi
  return 0
}

# What each build used must come from scripts/setup.sh; a miss fails the run.
check_setup() {
  local name=$1 dir=$2
  if ./scripts/check-setup.sh "$dir"; then
    summary+=("setup check, $name: 1 passed, 0 failed"); passed=$((passed + 1))
  else
    summary+=("setup check, $name: 0 passed, 1 failed"); failed=$((failed + 1))
  fi
}

configure_build() {
  local dir=$1; shift
  local targets=()
  if [ "${1:-}" = --targets ]; then
    read -r -a targets <<<"$2"; shift 2
  fi
  cmake -S . -B "$dir" "${generator[@]}" "$@" >/dev/null
  if [ "${#targets[@]}" -gt 0 ]; then
    cmake --build "$dir" -j"$jobs" --target "${targets[@]}"
  else
    cmake --build "$dir" -j"$jobs"
  fi
}

stage "format"
if ./scripts/check-format.sh; then
  summary+=("format: 1 passed, 0 failed"); passed=$((passed + 1))
else
  summary+=("format: 0 passed, 1 failed"); failed=$((failed + 1))
fi

stage "normal build"
configure_build build -DCMAKE_BUILD_TYPE=Release
check_setup normal build
run_ctest normal --test-dir build

if [ "${QUICK:-0}" != 1 ]; then
  stage "AddressSanitizer + UndefinedBehaviorSanitizer"
  # -O1, as the sanitizer's own documentation advises: the instrumented tests run
  # about twice as fast as at -O0, with every check still in place.
  configure_build build-asan -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1" "-DCMAKE_C_FLAGS_DEBUG=-g -O1" \
    -DADDRSCOPE_ASAN=ON -DADDRSCOPE_BENCH=OFF
  check_setup asan build-asan
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest asan --test-dir build-asan

  stage "ThreadSanitizer (threaded tests)"
  # Only the test programs that hold threaded tests; ctest lists the others as not built.
  configure_build build-tsan --targets "test_core test_net test_sched test_cache" \
    -DCMAKE_BUILD_TYPE=Debug -DADDRSCOPE_TSAN=ON -DADDRSCOPE_QT=OFF -DADDRSCOPE_BENCH=OFF
  check_setup tsan build-tsan
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp run_ctest tsan --test-dir build-tsan -R Threaded

  if [ "$fuzz_seconds" != 0 ] && command -v clang++-14 >/dev/null; then
    stage "fuzzing, ${fuzz_seconds} s per target"
    cmake -S . -B build-fuzz "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DADDRSCOPE_FUZZ=ON -DADDRSCOPE_QT=OFF \
      -DADDRSCOPE_FUZZ_SECONDS="$fuzz_seconds" >/dev/null
    cmake --build build-fuzz -j"$jobs" --target fuzzers
    check_setup fuzz build-fuzz
    run_ctest fuzz --test-dir build-fuzz -R '^Fuzz\.'
  fi
fi

echo
echo "test.sh took $((SECONDS - start)) s"
printf '%s\n' "${summary[@]}"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
