#!/usr/bin/env bash
# Times two builds of Rowsmith against each other on the workloads of peers.sh (its data directory),
# in turns (A B, B A, ...), and prints per workload the median wall time and the median CPU time
# (user + system) of each build and their ratio B / A; then whether both builds wrote the same bytes.
#   bench/compare_builds.sh OLD_CLI NEW_CLI [DATA_DIR] [RUNS]     ONLY=regex picks workloads
# CPU time is the steadier measure on a shared machine: other processes stretch the wall time of a
# run far more than its CPU time. The data must exist (run peers.sh once, or make_data.py).
set -euo pipefail
a_cli="$1" b_cli="$2"
data="${3:-${TMPDIR:-/tmp}/rowsmith-bench}"
runs="${4:-6}"
[ -x "$a_cli" ] && [ -x "$b_cli" ] || { echo "compare_builds.sh: OLD_CLI and NEW_CLI must be programs" >&2; exit 1; }
[ -f "$data/big.txt" ] && [ -d "$data/tree" ] || { echo "compare_builds.sh: no data in $data" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "compare_builds.sh: needs /usr/bin/time" >&2; exit 1; }
export LC_ALL=C
work="$data/cmpwork"
[ -e "$work" ] && { rm -rf "$work"; date +%s > "$data/deleted.at"; }
# As in peers.sh: creating thousands of files soon after thousands were deleted is slower.
if [ -f "$data/deleted.at" ]; then
  wait_s=$((65 - ($(date +%s) - $(cat "$data/deleted.at"))))
  if [ "$wait_s" -gt 0 ]; then echo "waiting ${wait_s}s for the file system to settle after the last deletion" >&2; sleep "$wait_s"; fi
fi
mkdir -p "$work/bigsrc"
ln -f "$data/big.txt" "$work/bigsrc/big.txt" 2>/dev/null || cp "$data/big.txt" "$work/bigsrc/big.txt"
cd "$data"
want() { [[ "$1" =~ ${ONLY:-.} ]]; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# one SIDE I NAME COMMAND: runs COMMAND (a bash text; $CLI the build, $OUT a fresh output path of this
# run, $KEEP the side's output kept for the comparison) and appends "wall cpu" in ms to the side's list.
one() {
  local side="$1" i="$2" name="$3" cmd="$4" cli t
  [ "$side" = a ] && cli="$a_cli" || cli="$b_cli"
  t=$(CLI="$cli" OUT="$work/$name.$side.$i" KEEP="$work/$name.$side.keep" \
    /usr/bin/time -f '%e %U %S' bash -c "$cmd" 2>&1 >/dev/null | tail -n 1)
  awk -v t="$t" 'BEGIN { split(t, f, " "); if (f[1] !~ /^[0-9.]+$/) exit 1; printf "%d %d\n", f[1] * 1000, (f[2] + f[3]) * 1000 }' \
    >> "$work/$name.$side.times" || { echo "compare_builds.sh: $name failed ($side): $t" >&2; exit 1; }
}

printf '%-44s %17s %17s %13s  %s\n' "workload (median of $runs)" "A wall / cpu ms" "B wall / cpu ms" "B/A wall cpu" "output"
workload() { # NAME COMMAND
  local name="$1" cmd="$2" i
  want "$name" || return 0
  for i in $(seq 1 "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then one a "$i" "$name" "$cmd"; one b "$i" "$name" "$cmd";
    else one b "$i" "$name" "$cmd"; one a "$i" "$name" "$cmd"; fi
  done
  local aw ac bw bc same
  aw=$(cut -d' ' -f1 "$work/$name.a.times" | median); ac=$(cut -d' ' -f2 "$work/$name.a.times" | median)
  bw=$(cut -d' ' -f1 "$work/$name.b.times" | median); bc=$(cut -d' ' -f2 "$work/$name.b.times" | median)
  if [ -d "$work/$name.a.keep" ]; then diff -r -q "$work/$name.a.keep" "$work/$name.b.keep" >/dev/null 2>&1 && same=same || same=DIFFERS
  else cmp -s "$work/$name.a.keep" "$work/$name.b.keep" && same=same || same=DIFFERS; fi
  awk -v n="$name" -v aw="$aw" -v ac="$ac" -v bw="$bw" -v bc="$bc" -v s="$same" 'BEGIN {
    printf "%-44s %8d / %6d %8d / %6d %6.2f %6.2f  %s\n", n, aw, ac, bw, bc, (aw ? bw / aw : 0), (ac ? bc / ac : 0), s }'
}

# Tree outputs go to $OUT (kept until the end, as in peers.sh); the first run of each side is linked as
# the kept output for the comparison. Single-file outputs overwrite $KEEP.
tree_cmd() { echo "\"\$CLI\" run tree \"\$OUT\" --levels 3 --masks '*' $1 --quiet && { [ -e \"\$KEEP\" ] || ln -s \"\$OUT\" \"\$KEEP\"; }"; }
workload copy "$(tree_cmd "")"
workload lines "$(tree_cmd "--interval 3-10")"
workload last "$(tree_cmd "--interval -1")"
workload upper "\"\$CLI\" expand --template '{{line|caseupper}}{{crlf}}' big.txt > \"\$KEEP\""
workload ident "\"\$CLI\" expand big.txt > \"\$KEEP\""
workload count "\"\$CLI\" expand --template \$'{{|inc:n}}{{n|lz:6}}\\t{{line|trim}}{{crlf}}' big.txt > \"\$KEEP\""
workload scan "\"\$CLI\" list scan --levels 3 --masks '*.txt' --columns Filename,Size,Date,Time > \"\$KEEP\""
workload runquiet "\"\$CLI\" run \"$work/bigsrc\" \"\$OUT\" --masks '*' --interval 1- --quiet && { [ -e \"\$KEEP\" ] || ln -s \"\$OUT\" \"\$KEEP\"; }"
if command -v script >/dev/null 2>&1; then
  workload progress "script -q -c \"'\$CLI' run '$work/bigsrc' '\$OUT' --masks '*' --interval 1- >/dev/null\" /dev/null >/dev/null && { [ -e \"\$KEEP\" ] || ln -s \"\$OUT\" \"\$KEEP\"; }"
fi
rm -rf "$work"
date +%s > "$data/deleted.at"
