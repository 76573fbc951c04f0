#!/usr/bin/env bash
# Times tree workloads on a freshly made ext4 file system for every single run, so that what the
# runs before left behind (inodes freed minutes ago, which ext4 passes over while it allocates, and
# dirty pages still being written back) cannot slow one side down: on a shared disk the same run
# swung by factors of two and three. Needs root (mkfs and a loop mount).
#   bench/fresh_fs.sh [DATA_DIR] [RUNS]      DATA_DIR as for peers.sh (its tree/ is copied in)
#                                            FLOOR=1 adds the kernel's floor (bench/file_floor.cpp):
#                                            the tree copied with nothing around it, each way of
#                                            making files, on one and two threads, against cp -r
# Each workload runs Rowsmith and its peer in turns, RUNS times each (default 5), and prints the
# medians of wall time and of CPU time (user + system) and their ratios Rowsmith / peer.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-${TMPDIR:-/tmp}/rowsmith-bench}"
runs="${2:-5}"
cli="${ROWSMITH_CLI:-$here/build/src/cli/rowsmith-cli}"
[ "$(id -u)" -eq 0 ] || { echo "fresh_fs.sh: needs root (mkfs.ext4 and mount -o loop)" >&2; exit 1; }
[ -d "$data/tree" ] || { echo "fresh_fs.sh: no tree in $data (run bench/peers.sh or make_data.py first)" >&2; exit 1; }
[ -x "$cli" ] || { echo "fresh_fs.sh: no program at $cli" >&2; exit 1; }
command -v mkfs.ext4 >/dev/null || { echo "fresh_fs.sh: mkfs.ext4 is missing (e2fsprogs)" >&2; exit 1; }
export LC_ALL=C
awk_bin=awk
command -v mawk >/dev/null 2>&1 && awk_bin=mawk

scratch="$(mktemp -d)"
image="$scratch/fs.img"
mnt="$scratch/mnt"
mkdir -p "$mnt"
cleanup() { umount "$mnt" 2>/dev/null || true; rm -rf "$scratch"; }
trap cleanup EXIT
truncate -s 2G "$image"

# one COMMAND: a fresh file system with the tree in it and its pages in the cache, then COMMAND run
# there (a bash text; the output tree is "out"); prints "wall_ms cpu_ms".
one() {
  umount "$mnt" 2>/dev/null || true
  mkfs.ext4 -q -F "$image" >/dev/null
  mount -o loop "$image" "$mnt"
  cp -r "$data/tree" "$mnt/tree"
  sync
  cat "$mnt"/tree/*/*/* >/dev/null
  local t
  t=$(cd "$mnt" && CLI="$cli" AWK="$awk_bin" /usr/bin/time -f '%e %U %S' bash -c "$1" 2>&1 >/dev/null | tail -n 1)
  umount "$mnt"
  awk -v t="$t" 'BEGIN { split(t, f, " "); if (f[1] !~ /^[0-9.]+$/) exit 1; printf "%d %d\n", f[1] * 1000, (f[2] + f[3]) * 1000 }' ||
    { echo "fresh_fs.sh: a run failed: $t" >&2; exit 1; }
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

mirror='(cd tree && find . -type d) | (mkdir -p out && cd out && xargs mkdir -p)'
perl_lines='$/ = "\r\n"; for my $f (@ARGV) { open(my $in, "<", $f) or next; (my $o = $f) =~ s{^tree/}{out/} or exit 3;
  open(my $out, ">", $o) or die; while (<$in>) { next if $. < 3; last if $. > 10; print $out $_ } close $in; close $out }'
perl_last='$/ = "\r\n"; for my $f (@ARGV) { open(my $in, "<", $f) or next; my $last; while (<$in>) { $last = $_ }
  close $in; next unless defined $last; (my $o = $f) =~ s{^tree/}{out/} or exit 3; open(my $out, ">", $o) or die;
  $last .= "\r\n" unless $last =~ /\r\n$/; print $out $last; close $out }'

printf '%-34s %16s %16s %12s\n' "workload (median of $runs)" "rowsmith wall/cpu" "peer wall/cpu" "ratio w / c"
# pair NAME ROWSMITH_COMMAND PEER_COMMAND
pair() {
  local a=() b=() i
  for i in $(seq 1 "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then a+=("$(one "$2")"); b+=("$(one "$3")"); else b+=("$(one "$3")"); a+=("$(one "$2")"); fi
  done
  local aw ac bw bc
  aw=$(printf '%s\n' "${a[@]}" | cut -d' ' -f1 | median); ac=$(printf '%s\n' "${a[@]}" | cut -d' ' -f2 | median)
  bw=$(printf '%s\n' "${b[@]}" | cut -d' ' -f1 | median); bc=$(printf '%s\n' "${b[@]}" | cut -d' ' -f2 | median)
  awk -v n="$1" -v aw="$aw" -v ac="$ac" -v bw="$bw" -v bc="$bc" 'BEGIN {
    printf "%-34s %8d / %5d %8d / %5d %5.2f %5.2f\n", n, aw, ac, bw, bc, (bw ? aw / bw : 0), (bc ? ac / bc : 0) }'
}
pair "copy the tree (cp -r)" "\"\$CLI\" run tree out --levels 3 --masks '*' --quiet" "cp -r tree out"
pair "lines 3-10 (one perl)" "\"\$CLI\" run tree out --levels 3 --masks '*' --interval 3-10 --quiet" \
  "$mirror && find tree -type f | sort | xargs -s 2000000 perl -e '$perl_lines'"
pair "last line (one perl)" "\"\$CLI\" run tree out --levels 3 --masks '*' --interval -1 --quiet" \
  "$mirror && find tree -type f | sort | xargs -s 2000000 perl -e '$perl_last'"

if [ "${FLOOR:-0}" = 1 ]; then
  floor="$scratch/file_floor"
  c++ -O2 -std=c++17 -pthread "$here/bench/file_floor.cpp" -o "$floor"
  for way in plain unnamed temp; do
    for threads in 1 2; do
      pair "floor: $way files, $threads thread(s)" "\"$floor\" $way $threads" "cp -r tree out"
    done
  done
fi
