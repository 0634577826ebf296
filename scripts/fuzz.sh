#!/usr/bin/env bash
# Fuzzes every parser that a peer or a file controls: builds the targets of tests/fuzz/ with
# clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/, then runs
# each for the given time. Every run first replays the target's kept inputs (the seed corpus
# in tests/fuzz/corpus/<target>/ and the reproducers of fixed findings in
# tests/fuzz/regressions/<target>/), so a time of 0 only replays them.
#
#   bash scripts/fuzz.sh [seconds per target, default 60] [target ...]
#
# Prints one line per target (executions, coverage, findings) and exits non-zero on any
# finding; its reproducer stays in build-fuzz/fuzz/<target>/. MIRVALE_FUZZ_JOBS targets run at
# once (default 3), each on one core.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
jobs=${MIRVALE_FUZZ_JOBS:-3}
build=build-fuzz

set -e
bash scripts/install-deps.sh --tests
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-$(command -v ccache || true)}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-$(command -v ccache || true)}
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMIRVALE_BUILD_FUZZ=ON -DMIRVALE_BUILD_TESTS=OFF -DMIRVALE_BUILD_DESKTOP=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_targets
set +e

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in tests/fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

# run_target <name>: one libFuzzer process; its summary line goes to <folder>/summary.
run_target() {
  local name=$1 folder
  folder="$(pwd)/$build/fuzz/$name"
  rm -rf "$folder/run" "$folder"/crash-* "$folder"/leak-* "$folder"/timeout-* "$folder"/oom-* "$folder/summary"
  mkdir -p "$folder/corpus" "$folder/run"
  local kept=()
  for dir in tests/fuzz/corpus/"$name" tests/fuzz/regressions/"$name"; do
    [ -d "$dir" ] && kept+=("$(pwd)/$dir")
  done
  local limits=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1)
  [ "$seconds" = 0 ] && limits=(-runs=0 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1)
  # The run's own folder is its working folder: targets that need files keep them there.
  (cd "$folder/run" && "../../../bin/fuzz_$name" "${limits[@]}" -artifact_prefix="$folder/" \
    "$folder/corpus" "${kept[@]}" >"$folder/log" 2>&1)
  local status=$?
  local executions coverage features findings
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$folder/log" | tail -1)
  coverage=$(grep -oE 'cov: [0-9]+' "$folder/log" | tail -1 | cut -d' ' -f2)
  features=$(grep -oE 'ft: [0-9]+' "$folder/log" | tail -1 | cut -d' ' -f2)
  findings=$(find "$folder" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) |
    sort)
  local line
  line=$(printf '%-18s %10s executions  coverage %5s edges %6s features  ' "$name" "${executions:-?}" \
    "${coverage:-?}" "${features:-?}")
  if [ -n "$findings" ]; then
    line+="FINDING: $(echo "$findings" | tr '\n' ' ')(log: $folder/log)"
  elif [ $status -ne 0 ]; then
    line+="FAILED with status $status (log: $folder/log)"
  else
    line+="no findings"
  fi
  echo "$line" >"$folder/summary"
}

for name in "${targets[@]}"; do
  if [ ! -x "$build/bin/fuzz_$name" ]; then
    echo "fuzz: no target $name" >&2
    exit 2
  fi
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run_target "$name" &
done
wait

failed=0
for name in "${targets[@]}"; do
  summary=$(cat "$build/fuzz/$name/summary" 2>/dev/null || echo "$name: no summary")
  echo "$summary"
  case $summary in *"no findings") ;; *) failed=1 ;; esac
done
exit $failed
