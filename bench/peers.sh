#!/usr/bin/env bash
# Times Rowsmith against the tools a user would otherwise script, on the same generated data in the
# same run: median of 5 runs per side, and the ratio Rowsmith/peer (below 1 means Rowsmith is faster).
#   bench/peers.sh [DATA_DIR] [RUNS]
# Output trees are deleted only after all timed runs of a workload (creating thousands of files right
# after deleting thousands is much slower on these machines).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-${TMPDIR:-/tmp}/rowsmith-bench}"
runs="${2:-5}"
cli="${ROWSMITH_CLI:-$here/build/src/cli/rowsmith-cli}"
if [ ! -x "$cli" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C "$here/build" -j2 rowsmith-cli >/dev/null
fi
python3 "$here/bench/make_data.py" "$data"
work="$data/work"
rm -rf "$work"
mkdir -p "$work"

# The awk peers: one process for the whole tree, writing every output file itself.
awk_lines='BEGIN { RS = ORS = "\r\n" }
FNR == 1 { if (out != "") close(out); out = FILENAME; if (!sub(/^tree\//, dest "/", out)) exit 3 }
FNR >= lo && FNR <= hi { print > out }'
awk_last='BEGIN { RS = ORS = "\r\n" }
FNR == 1 && NR > 1 { o = prev; if (!sub(/^tree\//, dest "/", o)) exit 3; print last > o; close(o) }
{ last = $0; prev = FILENAME }
END { if (NR > 0) { o = prev; if (!sub(/^tree\//, dest "/", o)) exit 3; print last > o; close(o) } }'
perl_last='$/ = "\r\n"; for my $f (@ARGV) { open(my $in, "<", $f) or next; my $last; while (<$in>) { $last = $_ }
  close $in; next unless defined $last; (my $o = $f) =~ s{^tree/}{$ENV{DEST}/} or die "bad path"; open(my $out, ">", $o) or die;
  $last .= "\r\n" unless $last =~ /\r\n$/; print $out $last; close $out }'

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# time_runs NAME COMMAND... : runs the command $runs times; "{OUT}" in it becomes a fresh output path.
time_runs() {
  local name="$1"; shift
  local times=()
  for i in $(seq 1 "$runs"); do
    local out="$work/$name.$i"
    local cmd=("${@//\{OUT\}/$out}")
    local t0 t1
    t0=$(date +%s%N)
    "${cmd[@]}" >/dev/null 2>&1 || { echo "failed: ${cmd[*]}" >&2; return 1; }
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | median
}

mirror_dirs() { (cd "$data" && find tree -type d) | sed "s|^tree|$1|" | xargs mkdir -p; }
export -f mirror_dirs
export data

printf '%-52s %10s %10s %8s %8s\n' "workload" "rowsmith" "peer" "ratio" "target"
row() { # name rowsmith_ms peer_ms target peer_name
  awk -v n="$1" -v r="$2" -v p="$3" -v t="$4" -v pn="$5" \
    'BEGIN { printf "%-52s %8d ms %8d ms %8.2f %8s  (%s)\n", n, r, p, (p > 0 ? r / p : 0), t, pn }'
}

cd "$data"
r=$(time_runs copy_rs "$cli" run tree "{OUT}" --levels 3 --masks '*' --quiet)
p=$(time_runs copy_cp cp -r tree "{OUT}")
row "copy the 10,000-file tree" "$r" "$p" "<= 1.1" "cp -r"


r=$(time_runs lines_rs "$cli" run tree "{OUT}" --levels 3 --masks '*' --interval 3-10 --quiet)
p=$(time_runs lines_awk bash -c "mirror_dirs \"\$1\" && find tree -type f | sort | xargs awk -v lo=3 -v hi=10 -v dest=\"\$1\" '$awk_lines'" _ "{OUT}")
row "lines 3-10 of every file into a mirror tree" "$r" "$p" "<= 0.8" "one awk"


r=$(time_runs last_rs "$cli" run tree "{OUT}" --levels 3 --masks '*' --interval -1 --quiet)
pa=$(time_runs last_awk bash -c "mirror_dirs \"\$1\" && find tree -type f | sort | xargs awk -v dest=\"\$1\" '$awk_last'" _ "{OUT}")
pp=$(time_runs last_perl bash -c "mirror_dirs \"\$1\" && find tree -type f | sort | DEST=\"\$1\" xargs perl -e '$perl_last'" _ "{OUT}")
if [ "$pa" -le "$pp" ]; then row "last line of each file into a mirror tree" "$r" "$pa" "<= 0.8" "one awk";
else row "last line of each file into a mirror tree" "$r" "$pp" "<= 0.8" "one perl"; fi


if "$cli" modifiers >/dev/null 2>&1; then
  r=$(time_runs upper_rs bash -c "\"$cli\" expand --template '{{line|caseupper}}{{crlf}}' big.txt > \"\$1\"" _ "{OUT}")
  p=$(time_runs upper_awk bash -c "awk 'BEGIN{RS=ORS=\"\\r\\n\"}{print toupper(\$0)}' big.txt > \"\$1\"" _ "{OUT}")
  row "upper-case every line of the 200 MB file" "$r" "$p" "<= 1.0" "awk toupper"


  r=$(time_runs ident_rs bash -c "\"$cli\" expand big.txt > \"\$1\"" _ "{OUT}")
  p=$(time_runs ident_awk bash -c "awk 'BEGIN{RS=ORS=\"\\r\\n\"}{print}' big.txt > \"\$1\"" _ "{OUT}")
  c=$(time_runs ident_cat bash -c "cat big.txt > \"\$1\"" _ "{OUT}")
  row "identity rewrite with the default template" "$r" "$p" "<= 0.7" "awk; cat ${c} ms"


  r=$(time_runs count_rs bash -c "\"$cli\" expand --template \$'{{|inc:n}}{{n|lz:6}}\\t{{line|trim}}{{crlf}}' big.txt > \"\$1\"" _ "{OUT}")
  p=$(time_runs count_awk bash -c "awk 'BEGIN{RS=ORS=\"\\r\\n\"}{s=\$0; gsub(/^[ \\t]+|[ \\t]+\$/, \"\", s); printf \"%06d\\t%s\\r\\n\", NR, s}' big.txt > \"\$1\"" _ "{OUT}")
  row "counter, pad and trim per line" "$r" "$p" "<= 1.0" "awk printf"

fi

r=$(time_runs scan_rs "$cli" list scan --levels 3 --masks '*.txt' --columns Filename,Size,Date,Time)
p=$(time_runs scan_find find scan -maxdepth 4 -name '*.txt')
row "scan 100,000 files, mask *.txt, depth 3 (with facts)" "$r" "$p" "<= 2.0" "find"

if [ -x /usr/bin/time ]; then
  if "$cli" modifiers >/dev/null 2>&1; then
    kb=$(/usr/bin/time -v "$cli" expand --template '{{line|caseupper}}{{crlf}}' big.txt 2>&1 >/dev/null | awk '/Maximum resident/ { print $NF }')
    echo "peak memory, 200 MB upper-case rewrite: $((kb / 1024)) MB"
  fi
  mkdir -p "$work/bigsrc"; ln -f big.txt "$work/bigsrc/big.txt" 2>/dev/null || cp big.txt "$work/bigsrc/big.txt"
  kb=$(/usr/bin/time -v "$cli" run "$work/bigsrc" "$work/bigout" --masks '*' --interval 1- --quiet 2>&1 >/dev/null | awk '/Maximum resident/ { print $NF }')
  echo "peak memory, 200 MB rewrite through the line buffer: $((kb / 1024)) MB"
  kb=$(/usr/bin/time -v "$cli" list scan --levels 3 --masks '*' 2>&1 >/dev/null | awk '/Maximum resident/ { print $NF }')
  echo "peak memory, list of 100,000 files: $((kb / 1024)) MB"
fi
rm -rf "$work"
