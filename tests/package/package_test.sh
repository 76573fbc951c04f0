#!/usr/bin/env bash
# The Debian packages as a user gets them: made by scripts/package from the build tree BUILD (no second
# build), unpacked into a temporary root and checked there: the files are where the system looks for
# them, the installed rowsmith-cli runs a batch on samples/, the installed rowsmith starts and finds its
# help pages, the pages, desktop entry and metainfo validate, and lintian finds no error.
#
#   package_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir="$(cd "$1" && pwd)"
build_dir="$(cd "$2" && pwd)"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
ok() { echo "ok: $*"; }
skip() { echo "SKIP: $*"; }

work="$(mktemp -d "${TMPDIR:-/tmp}/rowsmith-package-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT

version="$(sed -n 's/^project(rowsmith VERSION \([^ )]*\).*/\1/p' "$source_dir/CMakeLists.txt")"
arch="$(dpkg --print-architecture)"
cli_deb="$work/debs/rowsmith-cli_${version}_${arch}.deb"
gui_deb="$work/debs/rowsmith_${version}_${arch}.deb"

start=$SECONDS
if ! "$source_dir/scripts/package" --build-dir "$build_dir" "$work/debs" >"$work/package.log" 2>&1; then
  cat "$work/package.log"
  echo "FAIL: scripts/package"
  exit 1
fi
for deb in "$cli_deb" "$gui_deb"; do
  [ -f "$deb" ] || { ls -l "$work/debs"; echo "FAIL: no $(basename "$deb")"; exit 1; }
done
ok "packages made in $((SECONDS - start)) s"

# --- control fields: the split, the dependencies, the fields Debian wants
field() { dpkg-deb --field "$1" "$2"; }
for deb in "$cli_deb" "$gui_deb"; do
  name="$(basename "$deb")"
  for f in Maintainer Section Priority Description Depends; do
    [ -n "$(field "$deb" "$f")" ] || fail "$name has no $f field"
  done
  [ "$(field "$deb" Version)" = "$version" ] || fail "$name has version $(field "$deb" Version), not $version"
done
cli_depends="$(field "$cli_deb" Depends)"
gui_depends="$(field "$gui_deb" Depends)"
case "$cli_depends" in *qt*|*Qt*) fail "rowsmith-cli depends on Qt: $cli_depends" ;; esac
case "$cli_depends" in *libicu*) ;; *) fail "rowsmith-cli lacks its ICU dependency: $cli_depends" ;; esac
case "$gui_depends" in
  *"rowsmith-cli (= $version)"*) ;;
  *) fail "rowsmith does not depend on rowsmith-cli (= $version): $gui_depends" ;;
esac
case "$gui_depends" in *libqt6widgets6*) ;; *) fail "rowsmith lacks its Qt dependency: $gui_depends" ;; esac
ok "control fields checked"

# Both packages install together: no path belongs to both (folders aside).
dpkg-deb --contents "$cli_deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/cli.files"
dpkg-deb --contents "$gui_deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/gui.files"
shared="$(comm -12 "$work/cli.files" "$work/gui.files")"
[ -z "$shared" ] && ok "no file in both packages" || fail "files in both packages: $shared"

# --- the unpacked tree
root="$work/root"
dpkg -x "$cli_deb" "$root"
dpkg -x "$gui_deb" "$root"

expect_in() {  # package-file-list path...
  local list="$1"
  shift
  for p in "$@"; do
    grep -qx "./$p" "$list" || fail "$(basename "$list" .files) package lacks /$p"
  done
}
expect_in "$work/cli.files" usr/bin/rowsmith-cli usr/share/man/man1/rowsmith-cli.1.gz \
  usr/share/bash-completion/completions/rowsmith-cli usr/share/zsh/vendor-completions/_rowsmith-cli \
  usr/share/fish/vendor_completions.d/rowsmith-cli.fish usr/share/doc/rowsmith-cli/copyright \
  usr/share/doc/rowsmith-cli/changelog.gz usr/share/doc/rowsmith-cli/README.md \
  usr/share/doc/rowsmith-cli/templates.md
app=io.github.rowsmith.Rowsmith
expect_in "$work/gui.files" usr/bin/rowsmith usr/share/man/man1/rowsmith.1.gz \
  usr/share/applications/$app.desktop usr/share/metainfo/$app.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/$app.svg usr/share/doc/rowsmith/copyright \
  usr/share/doc/rowsmith/changelog.gz usr/share/rowsmith/help/rowsmith/index.htm
for size in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app.png"
  if [ ! -f "$png" ]; then
    fail "no ${size}x${size} icon"
  elif ! file "$png" | grep -q "PNG image data, $size x $size,"; then
    fail "the ${size}x${size} icon is $(file -b "$png")"
  fi
done
grep -q "^Icon=$app\$" "$root/usr/share/applications/$app.desktop" || fail "the desktop entry names another icon"
for exe in rowsmith rowsmith-cli; do
  file "$root/usr/bin/$exe" | grep -q ", stripped" || fail "/usr/bin/$exe is not stripped"
done
# The desktop program looks for its help pages beside itself; the documentation folder leads there too.
[ -f "$root/usr/bin/../share/rowsmith/help/rowsmith/index.htm" ] ||
  fail "no help pages at <exe>/../share/rowsmith/help"
[ -f "$root/usr/share/doc/rowsmith/help/rowsmith/index.htm" ] ||
  fail "/usr/share/doc/rowsmith/help does not lead to the help pages"
# (Qt keeps the literal in UTF-16.)
strings -el "$root/usr/bin/rowsmith" | grep -qF "/../share/rowsmith/help" ||
  fail "rowsmith no longer looks for help pages in ../share/rowsmith/help"
ok "installed tree checked"

# --- the installed programs run
out="$work/out"
if "$root/usr/bin/rowsmith-cli" run "$source_dir/samples" "$out" --levels 2 --quiet \
    --template '{{line|caseupper}}{{eol}}' >"$work/run.out" 2>"$work/run.err"; then
  expected="$(head -c 40 "$source_dir/samples/people.csv" | tr '[:lower:]' '[:upper:]')"
  if [ -s "$out/people.csv" ] && [ -s "$out/notes/archive/2025.txt" ] &&
     grep -q "$out/people.csv" "$work/run.out" && [ "$(head -c 40 "$out/people.csv")" = "$expected" ]; then
    ok "installed rowsmith-cli rewrote samples/ ($(wc -l <"$work/run.out") files)"
  else
    fail "installed rowsmith-cli run did not write the expected files"
    ls -R "$out"
  fi
else
  fail "installed rowsmith-cli run failed: $(cat "$work/run.err")"
fi
# The screenshot mode draws the window offscreen, saves it and quits.
if [ -n "$(find /usr/lib -path '*qt6/plugins/platforms/libqoffscreen.so' -print -quit 2>/dev/null)" ]; then
  if QT_QPA_PLATFORM=offscreen ROWSMITH_SCREENSHOT="$work/window.png" timeout 60 "$root/usr/bin/rowsmith" \
      "$source_dir/samples" "$work/gui-out" >"$work/gui.log" 2>&1 &&
     file "$work/window.png" | grep -q "PNG image"; then
    ok "installed rowsmith starts and draws its window"
  else
    fail "installed rowsmith did not start: $(cat "$work/gui.log")"
  fi
else
  skip "no Qt offscreen platform plugin: the installed rowsmith is not started"
fi

# --- pages, desktop entry, metainfo
if command -v man >/dev/null; then
  for page in rowsmith rowsmith-cli; do
    rendered="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" \
      2>"$work/man.err")"
    if [ -s "$work/man.err" ] || ! grep -q "^NAME" <<<"$rendered"; then
      fail "man -l $page.1.gz: $(cat "$work/man.err")"
    fi
  done
  ok "installed manual pages render"
else
  skip "man is not installed: the installed pages are not rendered"
fi
if command -v desktop-file-validate >/dev/null; then
  if desktop-file-validate "$root/usr/share/applications/$app.desktop" >"$work/desktop.log" 2>&1 &&
     [ ! -s "$work/desktop.log" ]; then
    ok "desktop entry validates"
  else
    fail "desktop-file-validate: $(cat "$work/desktop.log")"
  fi
else
  skip "desktop-file-utils is not installed: the desktop entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
  if appstreamcli validate --no-net "$root/usr/share/metainfo/$app.metainfo.xml" >"$work/appstream.log" 2>&1; then
    ok "metainfo validates"
  else
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  fi
else
  skip "appstream is not installed: the metainfo is not validated"
fi

# --- lintian: errors fail, warnings are shown
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$cli_deb" "$gui_deb" >"$work/lintian.log" 2>&1
  status=$?
  grep -v "running with root privileges" "$work/lintian.log" | sed 's/^/lintian: /'
  if grep -q "^E: " "$work/lintian.log"; then
    fail "lintian reports errors"
  elif [ "$status" -ne 0 ] && ! grep -q "^[WIP]: " "$work/lintian.log"; then
    fail "lintian could not check the packages (status $status)"
  else
    ok "lintian: no errors"
  fi
else
  skip "lintian is not installed: the packages are not checked by it"
fi

echo "package test: $failures failure(s) in $((SECONDS - start)) s"
[ "$failures" -eq 0 ]
