#!/usr/bin/env bash
# Times Rowsmith against the tools a user would otherwise script, on the same generated data in the
# same run, and prints one table: the median of RUNS runs per side, the ratio Rowsmith/peer (below 1
# means Rowsmith is faster), the target and whether it is met; then the peak memory figures.
#   bench/peers.sh [DATA_DIR] [RUNS]     ROWSMITH_CLI=path picks the program to time, ONLY=regex the
#                                        workloads (copy lines last upper ident count scan progress memory,
#                                        and beyond ASCII: utf8 utf8tree utf16 utf8mem utf16mem; ONLY=utf
#                                        picks all of these, ONLY=utf8 the UTF-8 ones)
# The two sides run in turns (A B, B A, ...), so that a machine busy with something else slows both.
# Output trees are deleted only after every timed run: creating thousands of files shortly after
# deleting thousands is several times slower on ext4 without a journal (it passes over recently
# freed inodes), and would punish whichever side came next.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
data="${1:-${TMPDIR:-/tmp}/rowsmith-bench}"
runs="${2:-5}"
cli="${ROWSMITH_CLI:-$here/build/src/cli/rowsmith-cli}"
if [ ! -x "$cli" ]; then
  # Configure only a fresh folder (an existing one keeps its options), and build only the program.
  [ -f "$here/build/build.ninja" ] || cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  ninja -C "$here/build" -j2 rowsmith-cli >/dev/null
fi
[ -x "$cli" ] || { echo "peers.sh: no program at $cli" >&2; exit 1; }
# Bytes, not characters, on both sides (Rowsmith's case tables are ASCII-only under UTF-8 locales too).
export LC_ALL=C
# The fastest awk at hand is the peer.
awk_bin=awk
command -v mawk >/dev/null 2>&1 && awk_bin=mawk
want() { [[ "$1" =~ ${ONLY:-.} ]]; }
# The text beyond ASCII (300 MB and 10,000 more files) is made only when a workload reads it.
text_data=()
for w in utf8 utf8tree utf16 utf8mem utf16mem; do want "$w" && text_data=(--text); done
python3 "$here/bench/make_data.py" "$data" ${text_data[@]+"${text_data[@]}"}
work="$data/work"
if [ -e "$work" ]; then
  # Left over from an interrupted run: delete it, then let the file system forget the freed inodes.
  rm -rf "$work"
  date +%s > "$data/deleted.at"
fi
# The same holds for the trees the previous run deleted at its end: runs back to back (before and
# after a change) would otherwise time the second one against a file system still busy with them.
if [ -f "$data/deleted.at" ]; then
  wait_s=$((65 - ($(date +%s) - $(cat "$data/deleted.at"))))
  if [ "$wait_s" -gt 0 ]; then echo "waiting ${wait_s}s for the file system to settle after the last deletion" >&2; sleep "$wait_s"; fi
fi
mkdir -p "$work"

# The awk and perl peers: one process for the whole tree, writing every output file itself. A path
# that does not map into the output tree stops them (exit 3) instead of writing into the source.
awk_lines='BEGIN { RS = ORS = "\r\n" }
FNR == 1 { if (out != "") close(out); out = FILENAME; if (!sub(/^tree\//, dest "/", out)) exit 3 }
FNR >= lo && FNR <= hi { print > out }'
awk_last='BEGIN { RS = ORS = "\r\n" }
FNR == 1 && NR > 1 { o = prev; if (!sub(/^tree\//, dest "/", o)) exit 3; print last > o; close(o) }
{ last = $0; prev = FILENAME }
END { if (NR > 0) { o = prev; if (!sub(/^tree\//, dest "/", o)) exit 3; print last > o; close(o) } }'
perl_lines='$/ = "\r\n"; my $out; for my $f (@ARGV) { open(my $in, "<", $f) or next; (my $o = $f) =~ s{^tree/}{$ENV{DEST}/} or exit 3;
  open($out, ">", $o) or die; while (<$in>) { next if $. < 3; last if $. > 10; print $out $_ } close $in; close $out }'
perl_last='$/ = "\r\n"; for my $f (@ARGV) { open(my $in, "<", $f) or next; my $last; while (<$in>) { $last = $_ }
  close $in; next unless defined $last; (my $o = $f) =~ s{^tree/}{$ENV{DEST}/} or exit 3; open(my $out, ">", $o) or die;
  $last .= "\r\n" unless $last =~ /\r\n$/; print $out $last; close $out }'

# mirror_dirs DEST [SOURCE_TREE]: the folders of the source tree (default "tree") below DEST.
mirror_dirs() { local src="${2:-tree}"; (cd "$data" && find "$src" -type d) | sed "s|^$src|$1|" | xargs mkdir -p; }
export -f mirror_dirs
export data


median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# run_once NAME I COMMAND... : one timed run in ms; "{OUT}" becomes NAME's output path of run I (a fresh
# folder for trees, "{OUTFILE}" one file per side overwritten by each run).
run_once() {
  local name="$1" i="$2"; shift 2
  local cmd=("${@//\{OUT\}/$work/$name.$i}")
  cmd=("${cmd[@]//\{OUTFILE\}/$work/$name.out}")
  local t0 t1
  t0=$(date +%s%N)
  "${cmd[@]}" >/dev/null 2>&1 || { echo "failed: ${cmd[*]}" >&2; exit 1; }
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}

# pair NAME_A NAME_B "A command" "B command": medians of both sides, run in turns; sets $ma and $mb.
pair() {
  local na="$1" nb="$2" ca="$3" cb="$4" ta=() tb=()
  for i in $(seq 1 "$runs"); do
    if [ $((i % 2)) -eq 1 ]; then
      ta+=("$(run_once "$na" "$i" bash -c "$ca" _ "{OUT}" "{OUTFILE}")")
      tb+=("$(run_once "$nb" "$i" bash -c "$cb" _ "{OUT}" "{OUTFILE}")")
    else
      tb+=("$(run_once "$nb" "$i" bash -c "$cb" _ "{OUT}" "{OUTFILE}")")
      ta+=("$(run_once "$na" "$i" bash -c "$ca" _ "{OUT}" "{OUTFILE}")")
    fi
  done
  local v
  for v in "${ta[@]}" "${tb[@]}"; do
    [[ "$v" =~ ^[0-9]+$ ]] || { echo "peers.sh: a timed run of $na / $nb failed" >&2; exit 1; }
  done
  ma=$(printf '%s\n' "${ta[@]}" | median)
  mb=$(printf '%s\n' "${tb[@]}" | median)
}

printf '%-50s %10s %10s %7s %7s  %s\n' "workload (median of $runs)" "rowsmith" "peer" "ratio" "target" "peer / note"
row() { # name rowsmith_ms peer_ms target_ratio note
  awk -v n="$1" -v r="$2" -v p="$3" -v t="$4" -v note="$5" 'BEGIN {
    ratio = (p > 0 ? r / p : 0); ok = (ratio <= t + 1e-9 ? "ok" : "MISSED")
    printf "%-50s %7d ms %7d ms %7.2f %7s  %s (%s)\n", n, r, p, ratio, "<= " t, note, ok }'
}

cd "$data"
q="--quiet"
if want copy; then
pair copy_rs copy_cp "\"$cli\" run tree \"\$1\" --levels 3 --masks '*' $q" "cp -r tree \"\$1\""
row "copy the 10,000-file tree" "$ma" "$mb" 0.7 "cp -r"
fi

if want lines; then
pair lines_rs lines_awk "\"$cli\" run tree \"\$1\" --levels 3 --masks '*' --interval 3-10 $q" \
  "mirror_dirs \"\$1\" && find tree -type f | sort | xargs -s 2000000 $awk_bin -v lo=3 -v hi=10 -v dest=\"\$1\" '$awk_lines'"
r_awk=$ma p_awk=$mb
pair lines_rs2 lines_perl "\"$cli\" run tree \"\$1\" --levels 3 --masks '*' --interval 3-10 $q" \
  "mirror_dirs \"\$1\" && find tree -type f | sort | DEST=\"\$1\" xargs -s 2000000 perl -e '$perl_lines'"
if [ "$p_awk" -le "$mb" ]; then row "lines 3-10 of every file into a mirror tree" "$r_awk" "$p_awk" 0.6 "one $awk_bin, the faster of mawk and perl";
else row "lines 3-10 of every file into a mirror tree" "$ma" "$mb" 0.6 "one perl, the faster of mawk and perl"; fi
fi

if want last; then
pair last_rs last_awk "\"$cli\" run tree \"\$1\" --levels 3 --masks '*' --interval -1 $q" \
  "mirror_dirs \"\$1\" && find tree -type f | sort | xargs -s 2000000 $awk_bin -v dest=\"\$1\" '$awk_last'"
r_awk=$ma p_awk=$mb
pair last_rs2 last_perl "\"$cli\" run tree \"\$1\" --levels 3 --masks '*' --interval -1 $q" \
  "mirror_dirs \"\$1\" && find tree -type f | sort | DEST=\"\$1\" xargs -s 2000000 perl -e '$perl_last'"
if [ "$p_awk" -le "$mb" ]; then row "last line of each file into a mirror tree" "$r_awk" "$p_awk" 0.5 "one $awk_bin, the faster of mawk and perl";
else row "last line of each file into a mirror tree" "$ma" "$mb" 0.5 "one perl, the faster of mawk and perl"; fi
fi

if want upper; then
pair upper_rs upper_tr "\"$cli\" expand --template '{{line|caseupper}}{{crlf}}' big.txt > \"\$2\"" \
  "tr a-z A-Z < big.txt > \"\$2\""
row "upper-case every line of the 200 MB file" "$ma" "$mb" 1.3 "tr a-z A-Z"
fi

if want ident; then
pair ident_rs ident_awk "\"$cli\" expand big.txt > \"\$2\"" "$awk_bin 'BEGIN{RS=ORS=\"\\r\\n\"}{print}' big.txt > \"\$2\""
r_ident=$ma p_ident=$mb
pair ident_rs2 ident_cat "\"$cli\" expand big.txt > \"\$2\"" "cat big.txt > \"\$2\""
row "identity rewrite with the default template" "$ma" "$mb" 1.5 "cat; $awk_bin $p_ident ms, ratio to $awk_bin $(awk -v a="$r_ident" -v b="$p_ident" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
fi

if want count; then
pair count_rs count_awk "\"$cli\" expand --template \$'{{|inc:n}}{{n|lz:6}}\\t{{line|trim}}{{crlf}}' big.txt > \"\$2\"" \
  "$awk_bin 'BEGIN{RS=ORS=\"\\r\\n\"}{s=\$0; gsub(/^[ \\t]+|[ \\t]+\$/, \"\", s); printf \"%06d\\t%s\\r\\n\", NR, s}' big.txt > \"\$2\""
row "counter, pad and trim per line" "$ma" "$mb" 0.7 "$awk_bin printf"
fi

if want scan; then
pair scan_rs scan_find "\"$cli\" list scan --levels 3 --masks '*.txt' --columns Filename,Size,Date,Time" \
  "find scan -maxdepth 4 -name '*.txt' -printf '%p %s %T@\\n'"
row "scan 100,000 files, mask *.txt, depth 3 (facts)" "$ma" "$mb" 1.0 "find -printf '%p %s %T@'"
fi

mkdir -p "$work/bigsrc"
ln -f big.txt "$work/bigsrc/big.txt" 2>/dev/null || cp big.txt "$work/bigsrc/big.txt"

if want progress && command -v script >/dev/null 2>&1; then
# The same rewrite in a terminal (script gives stderr one) with the progress line on and with it off
# (--quiet); the ratio is the cost of the progress machinery alone.
pair prog_term prog_quiet \
  "script -q -c \"'$cli' run '$work/bigsrc' \\\"\$1\\\" --masks '*' --interval 1- >/dev/null\" /dev/null >/dev/null" \
  "script -q -c \"'$cli' run '$work/bigsrc' \\\"\$1\\\" --masks '*' --interval 1- --quiet >/dev/null\" /dev/null >/dev/null"
row "progress view on a 200 MB rewrite (vs --quiet)" "$ma" "$mb" 1.02 "same in a terminal, --quiet"
fi

if want memory && [ -x /usr/bin/time ]; then
  big_mb=$(($(stat -c %s big.txt) / 1048576))
  limit=$((big_mb * 3 / 2 + 50))
  peak() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk '/Maximum resident/ { print int($NF / 1024) }'; }
  mem_row() { awk -v n="$1" -v m="$2" -v l="$3" 'BEGIN { printf "peak memory, %-47s %5d MB   limit %4d MB (%s)\n", n, m, l, m <= l ? "ok" : "MISSED" }'; }
  mem_row "upper-case rewrite of the $big_mb MB file" "$(peak "$cli" expand --template '{{line|caseupper}}{{crlf}}' big.txt)" "$limit"
  mem_row "run --interval 1- over it (streamed)" "$(peak "$cli" run "$work/bigsrc" "$work/bigout1" --masks '*' --interval 1- --quiet)" "$limit"
  mem_row "run --interval -1 over it (counted, then read where it lies)" "$(peak "$cli" run "$work/bigsrc" "$work/bigout2" --masks '*' --interval -1 --quiet)" 32
  mem_row "list of the 100,000-file tree" "$(peak "$cli" list scan --levels 3 --masks '*')" 150
fi

# Text beyond ASCII: every fifth line with accented Latin or Cyrillic letters. gawk is the peer that
# counts characters (mawk counts bytes), so both sides run in a UTF-8 locale, where gawk's toupper
# and substr work on characters. Each Rowsmith output is compared with the peer's after the timed
# runs: byte for byte, since the data holds no character whose upper-case form is more than one
# character (there gawk's simple mapping and Rowsmith's full one would differ, as for "ß").
u8="LC_ALL=C.UTF-8"
if ! LC_ALL=C.UTF-8 gawk 'BEGIN { exit !(length("\303\251") == 1) }' 2>/dev/null; then
  for w in utf8 utf8tree utf8mem; do want "$w" && echo "skipped $w: gawk or the C.UTF-8 locale is missing" >&2; done
  u8=""
fi
bad_output=0
# same A B: sets $verdict to "output same" when the files (or trees) are equal byte for byte.
same() {
  if { [ -d "$1" ] && diff -r -q "$1" "$2" >/dev/null 2>&1; } || { [ -f "$1" ] && cmp -s "$1" "$2"; }; then
    verdict="output same"
  else
    verdict="OUTPUT DIFFERS"
    bad_output=1
  fi
}
gawk_tree='FNR == 1 { if (out != "") close(out); out = FILENAME; if (!sub(/^utree\//, dest "/", out)) exit 3 }
{ print EXPR > out }'

if [ -n "$u8" ] && want utf8; then
pair u8up_rs u8up_awk "$u8 \"$cli\" expand --template '{{line|caseupper}}{{eol}}' big_utf8.txt > \"\$2\"" \
  "$u8 gawk '{print toupper(\$0)}' big_utf8.txt > \"\$2\""
same "$work/u8up_rs.out" "$work/u8up_awk.out"
row "UTF-8: upper-case every line of the 200 MB file" "$ma" "$mb" 1.0 "gawk toupper; $verdict"
pair u8cut_rs u8cut_awk "$u8 \"$cli\" expand --template '{{line|1-20}}{{eol}}' big_utf8.txt > \"\$2\"" \
  "$u8 gawk '{print substr(\$0, 1, 20)}' big_utf8.txt > \"\$2\""
same "$work/u8cut_rs.out" "$work/u8cut_awk.out"
row "UTF-8: first 20 characters of every line, 200 MB" "$ma" "$mb" 1.0 "gawk substr; $verdict"
fi

if [ -n "$u8" ] && want utf8tree; then
pair u8tup_rs u8tup_awk "$u8 \"$cli\" run utree \"\$1\" --levels 3 --masks '*' --template '{{line|caseupper}}{{eol}}' $q" \
  "mirror_dirs \"\$1\" utree && find utree -type f | sort | $u8 xargs -s 2000000 gawk -v dest=\"\$1\" '${gawk_tree/EXPR/toupper(\$0)}'"
same "$work/u8tup_rs.1" "$work/u8tup_awk.1"
row "UTF-8: upper-case every line of a 10,000-file tree" "$ma" "$mb" 1.0 "one gawk; $verdict"
pair u8tcut_rs u8tcut_awk "$u8 \"$cli\" run utree \"\$1\" --levels 3 --masks '*' --template '{{line|1-20}}{{eol}}' $q" \
  "mirror_dirs \"\$1\" utree && find utree -type f | sort | $u8 xargs -s 2000000 gawk -v dest=\"\$1\" '${gawk_tree/EXPR/substr(\$0, 1, 20)}'"
same "$work/u8tcut_rs.1" "$work/u8tcut_awk.1"
row "UTF-8: first 20 characters, 10,000-file tree" "$ma" "$mb" 1.0 "one gawk; $verdict"
fi

mkdir -p "$work/u8src" "$work/u16src"
if [ -f big_utf8.txt ]; then ln -f big_utf8.txt "$work/u8src/big_utf8.txt" 2>/dev/null || cp big_utf8.txt "$work/u8src/"; fi
if [ -f big_utf16.txt ]; then ln -f big_utf16.txt "$work/u16src/big_utf16.txt" 2>/dev/null || cp big_utf16.txt "$work/u16src/"; fi

if want utf16; then
# Decoding to UTF-8 and encoding back, as iconv does it in two processes; both outputs must be the
# input again (iconv keeps the byte order mark as a character, Rowsmith writes it back as the mark).
u16_mb=$(($(stat -c %s big_utf16.txt) / 1048576))
pair u16_rs u16_iconv "\"$cli\" expand big_utf16.txt > \"\$2\"" \
  "iconv -f UTF-16LE -t UTF-8 big_utf16.txt | iconv -f UTF-8 -t UTF-16LE > \"\$2\""
same big_utf16.txt "$work/u16_iconv.out"
peer_verdict=$verdict
same big_utf16.txt "$work/u16_rs.out"
row "UTF-16LE: identity rewrite, default template, $u16_mb MB" "$ma" "$mb" 1.5 \
  "iconv | iconv; $verdict as input (iconv: $peer_verdict)"
pair u16run_rs u16run_iconv "\"$cli\" run \"$work/u16src\" \"\$1\" --masks '*' --interval 1- $q" \
  "mkdir -p \"\$1\" && iconv -f UTF-16LE -t UTF-8 big_utf16.txt | iconv -f UTF-8 -t UTF-16LE > \"\$1/big_utf16.txt\""
same big_utf16.txt "$work/u16run_rs.1/big_utf16.txt"
row "UTF-16LE: run --interval 1- (streamed), $u16_mb MB" "$ma" "$mb" 1.5 "iconv | iconv; $verdict as input"
fi

if [ -x /usr/bin/time ] && { want utf8mem || want utf16mem; }; then
  tpeak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ print int($1 / 1024) }'; }
  tmem_row() { awk -v n="$1" -v m="$2" 'BEGIN { printf "peak memory, %-47s %5d MB   limit   64 MB (%s)\n", n, m, m < 64 ? "ok" : "MISSED" }'; }
  if [ -n "$u8" ] && want utf8mem; then
    tmem_row "UTF-8 200 MB: run --interval 1- (streamed)" "$(tpeak env LC_ALL=C.UTF-8 "$cli" run "$work/u8src" "$work/u8mem1" --masks '*' --interval 1- --quiet)"
    tmem_row "UTF-8 200 MB: run, caseupper template" "$(tpeak env LC_ALL=C.UTF-8 "$cli" run "$work/u8src" "$work/u8mem2" --masks '*' --template '{{line|caseupper}}{{eol}}' --quiet)"
    tmem_row "UTF-8 200 MB: expand, caseupper template" "$(tpeak env LC_ALL=C.UTF-8 "$cli" expand --template '{{line|caseupper}}{{eol}}' big_utf8.txt)"
  fi
  if want utf16mem; then
    tmem_row "UTF-16LE: run --interval 1- (streamed)" "$(tpeak "$cli" run "$work/u16src" "$work/u16mem1" --masks '*' --interval 1- --quiet)"
    tmem_row "UTF-16LE: expand, default template" "$(tpeak "$cli" expand big_utf16.txt)"
  fi
fi

rm -rf "$work"
date +%s > "$data/deleted.at"
[ "$bad_output" -eq 0 ] || { echo "peers.sh: a Rowsmith output differs from its peer's (see the rows)" >&2; exit 1; }
