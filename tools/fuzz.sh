#!/bin/sh
# Runs the portable core's fuzzers (libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer), one program per tests/fuzz/*_fuzz.cpp.
#
#   tools/fuzz.sh [--seconds N] [--jobs N] [target...]
#       builds the fuzz preset and runs each target (all when none is named)
#       for N seconds (default 600); what a run finds is kept and grows from
#       run to run in build/fuzz/findings/<target>/corpus.
#   tools/fuzz.sh --smoke [target...]
#       about 20 s a target from the committed seed corpus, in a fresh
#       scratch copy under build/fuzz/smoke/.
#
# Targets run two at a time (--jobs). The committed corpus in
# tests/fuzz/corpus/ is only ever read. A crash or a broken property saves
# the input under <work folder>/<target>/crashes/, prints its path and how to
# replay it, and makes the command end non-zero. Needs no network.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"

seconds=600
jobs=2
mode=findings
targets=""
while [ $# -gt 0 ]; do
  case $1 in
    --smoke) mode=smoke; seconds=20 ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift ;;
    --jobs) jobs=${2:?--jobs needs a number}; shift ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$here/fuzz.sh"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) targets="$targets ${1%_fuzz}" ;;
  esac
  shift
done
if [ -z "$targets" ]; then
  for source in tests/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets="$targets ${name%_fuzz}"
  done
fi
for target in $targets; do
  if [ ! -f "tests/fuzz/${target}_fuzz.cpp" ]; then
    echo "no fuzz target '$target' (tests/fuzz/${target}_fuzz.cpp)" >&2
    exit 2
  fi
done

echo "building the fuzz preset"
mkdir -p build
if ! { nice cmake --preset fuzz >/dev/null && nice cmake --build --preset fuzz >build/fuzz-build.log 2>&1; }; then
  tail -n 40 build/fuzz-build.log >&2
  echo "the fuzz build failed" >&2
  exit 1
fi

work="$root/build/fuzz/$mode"
mkdir -p "$work"

# run_target NAME: one libFuzzer run; its log goes to <work>/<name>/log.
run_target() {
  dir="$work/$1"
  if [ "$mode" = smoke ]; then rm -rf "$dir"; fi
  mkdir -p "$dir/corpus" "$dir/crashes"
  touch "$dir/started"  # what this run finds is newer; earlier finds stay where they are
  # The seeds are copied, so libFuzzer writes its new inputs into a scratch copy.
  cp -p "tests/fuzz/corpus/$1/"* "$dir/corpus/" 2>/dev/null
  UBSAN_OPTIONS=print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
    "build/fuzz/$1_fuzz" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$dir/crashes/" "$dir/corpus" >"$dir/log" 2>&1
  echo $? >"$dir/rc"
}

# report NAME: one line per target; 1 when it found something.
report() {
  dir="$work/$1"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  size=$(find "$dir/corpus" -type f | wc -l)
  rc=$(cat "$dir/rc")
  found=$(find "$dir/crashes" -type f -newer "$dir/started" | head -n 1)
  if [ "$rc" = 0 ] && [ -z "$found" ]; then
    printf '%-22s ok      %10s runs, corpus %s inputs\n' "$1" "${runs:-?}" "$size"
    return 0
  fi
  printf '%-22s FAILED  exit %s, log %s\n' "$1" "$rc" "$dir/log"
  grep -m 3 -E '^(broken property|==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$dir/log" | sed 's/^/    /'
  if [ -n "$found" ]; then
    echo "    reproducer: $found"
    echo "    replay:     build/fuzz/$1_fuzz $found"
  fi
  return 1
}

echo "fuzzing for $seconds s a target, $jobs at a time; work folder $work"
count=0
for target in $targets; do
  run_target "$target" &
  count=$((count + 1))
  if [ "$count" -ge "$jobs" ]; then
    wait
    count=0
  fi
done
wait

failed=0
for target in $targets; do
  report "$target" || failed=1
done
exit $failed
