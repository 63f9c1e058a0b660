# Times the stages of a script and prints them as a table: the wall time of
# each and the CPU time (user + system) of the programs it ran. A stage can
# run in the background, at low priority, while the script goes on; its
# output goes to a log that is shown once it has been waited for.
# Sourced by test.sh; needs bash 5 (EPOCHREALTIME).

_stage_dir=$(mktemp -d)
_stage_background_pid=""
_stage_name=""

# Writes this shell's CPU times so far (its own and its finished children's,
# from `times`, which must run in this shell, not in a subshell) and the
# clock to a file.
_stage_snapshot() {
  times > "$1"
  echo "$EPOCHREALTIME" >> "$1"
}

# Prints "wall cpu" between two snapshots, in seconds.
_stage_span() {
  awk '
    function seconds(t, parts) { split(t, parts, "m"); sub("s", "", parts[2]); return parts[1] * 60 + parts[2] }
    FNR <= 2 { cpu[FILENAME == ARGV[1]] += seconds($1) + seconds($2) }
    FNR == 3 { clock[FILENAME == ARGV[1]] = $1 }
    END { printf "%.1f %.1f\n", clock[0] - clock[1], cpu[0] - cpu[1] }
  ' "$1" "$2"
}

# Appends one row to the table from two snapshots; CPU seconds already
# counted in another row (a background stage collected by this one) are
# taken off.
_stage_row() {
  local name=$1 from=$2 to=$3 note=${4:-} counted=${5:-0} wall cpu
  read -r wall cpu < <(_stage_span "$from" "$to")
  cpu=$(awk -v cpu="$cpu" -v counted="$counted" 'BEGIN { d = cpu - counted; printf "%.1f", d < 0 ? 0 : d }')
  printf "%-48s %8.1f %8.1f  %s\n" "$name" "$wall" "$cpu" "$note" >> "$_stage_dir/rows"
}

# stage_begin NAME: starts timing the stage NAME (ending the previous one).
stage_begin() {
  stage_end
  _stage_name=$1
  _stage_snapshot "$_stage_dir/begin"
}

# CPU seconds of a background stage that the current stage collected.
_stage_collected=0

stage_end() {
  if [ -n "$_stage_name" ]; then
    _stage_snapshot "$_stage_dir/end"
    _stage_row "$_stage_name" "$_stage_dir/begin" "$_stage_dir/end" "" "$_stage_collected"
    _stage_name=""
    _stage_collected=0
  fi
}

# stage_background NAME LOG FUNCTION [ARGS...]: runs FUNCTION in the
# background at low priority, so that what the script does meanwhile (tests)
# comes first, with its output in LOG. One at a time; stage_wait collects it.
stage_background() {
  local name=$1 log=$2
  shift 2
  mkdir -p "$(dirname "$log")"
  # Its own process group, so that an early exit can end all of it.
  set -m
  (
    set +m
    trap - EXIT
    _stage_snapshot "$_stage_dir/$name.begin"
    renice -n 10 -p "$BASHPID" > /dev/null || true
    # Not `"$@" || status=$?`: inside that, a failing command would not stop it.
    set +e
    (
      set -e
      "$@"
    ) < /dev/null > "$log" 2>&1
    status=$?
    _stage_snapshot "$_stage_dir/$name.end"
    exit "$status"
  ) &
  _stage_background_pid=$!
  set +m
  _stage_background_name=$name
  _stage_background_log=$log
}

# stage_wait: waits for the background stage, shows its output and stops
# the script if it failed.
stage_wait() {
  [ -n "$_stage_background_pid" ] || return 0
  local status=0
  wait "$_stage_background_pid" || status=$?
  _stage_background_pid=""
  echo "== $_stage_background_name (ran in the background; its output) =="
  cat "$_stage_background_log"
  if [ -e "$_stage_dir/$_stage_background_name.end" ]; then
    _stage_row "$_stage_background_name" "$_stage_dir/$_stage_background_name.begin" \
      "$_stage_dir/$_stage_background_name.end" "(in the background)"
    # Its programs' CPU reaches this shell only now, in the waiting stage.
    local wall cpu
    read -r wall cpu < <(_stage_span "$_stage_dir/$_stage_background_name.begin" \
      "$_stage_dir/$_stage_background_name.end")
    _stage_collected=$(awk -v a="$_stage_collected" -v b="$cpu" 'BEGIN { print a + b }')
  fi
  if [ "$status" -ne 0 ]; then
    echo "$_stage_background_name failed (exit $status)" >&2
    exit "$status"
  fi
}

# Ends the background stage if the script stops early, and prints the table
# (also after a failure: the stages that ran, up to it).
_stage_finish() {
  local status=$?
  if [ -n "$_stage_background_pid" ]; then
    kill -TERM -- "-$_stage_background_pid" 2> /dev/null || true
    wait "$_stage_background_pid" 2> /dev/null || true
  fi
  stage_end
  if [ -s "$_stage_dir/rows" ]; then
    echo
    echo "== Stage times (seconds; CPU is user + system of the stage's programs) =="
    printf "%-48s %8s %8s\n" "stage" "wall" "CPU"
    _stage_snapshot "$_stage_dir/end"
    _stage_row "total" "$_stage_dir/start" "$_stage_dir/end"
    cat "$_stage_dir/rows"
  fi
  rm -rf "$_stage_dir"
  return "$status"
}
_stage_snapshot "$_stage_dir/start"
trap _stage_finish EXIT
