#!/usr/bin/env bash
# A staged install (DESTDIR) plays the default show from a folder outside the source and build
# trees, with the same frame as the build tree; the example plug-in builds against the installed
# header found through pkg-config alone; the manual page, the documents, menu entry and Slurm
# scripts are in place; the installed program makes a starter show that passes its check.
# Usage: staged-install.sh CMAKE BUILD_DIR CXX
set -euo pipefail
cmake="$1" build="$2" cxx="$3"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

DESTDIR="$stage" "$cmake" --install "$build" --prefix /usr >/dev/null
root="$stage/usr"
export SDL_AUDIODRIVER=dummy

mkdir "$stage/elsewhere"
cd "$stage/elsewhere"
"$root/bin/morveldan" --size 160x120 --shot 84000 installed.png 2>stderr.txt ||
    { cat stderr.txt >&2; fail "the installed program did not play its show"; }
"$build/morveldan" "$build" --size 160x120 --shot 84000 built.png 2>/dev/null
cmp -s installed.png built.png || fail "the installed show draws another frame than the build's"
"$root/bin/morveldan" --new starter >/dev/null || fail "the installed program makes no starter show"
"$root/bin/morveldan" --check starter >/dev/null 2>&1 ||
    fail "the starter show of the installed program does not pass --check"

export PKG_CONFIG_PATH="$root/share/pkgconfig"
cflags="$(pkg-config --cflags morveldan-plugin)"
[[ "$cflags" == "-I$root/"* ]] || fail "pkg-config names '$cflags', not the staged header"
"$cxx" -std=c++17 -shared -fPIC $cflags "$root/share/morveldan/show/plugins/starburst.cpp" \
    -o starburst.so || fail "the example plug-in does not build against the installed header"
for symbol in Init Draw; do
    nm -D --defined-only starburst.so | grep -qw "$symbol" || fail "the plug-in exports no $symbol"
done

zcat "$root/share/man/man6/morveldan.6.gz" | grep -q '^\.TH MORVELDAN 6' || fail "no manual page"
zcat "$root/share/man/man6/morveldan.6.gz" | grep -q 'SHOW_FOLDER' || fail "stale manual page"
for section in SYNOPSIS OPTIONS 'THE SHOW FOLDER' ENVIRONMENT 'EXIT STATUS' EXAMPLES; do
    zcat "$root/share/man/man6/morveldan.6.gz" | grep -q "^\.SH $section\$" ||
        fail "the manual page has no section $section"
done
zcat "$root/share/man/man6/morveldan.6.gz" | grep -q '^\\fB\\-\\-new\\fR' ||
    fail "the manual page misses an option of --help"
for doc in README.md docs/script.md docs/tracks.md docs/plugins.md docs/render-farm.md \
    examples/tracks/data/demo.txt; do
    [ -s "$root/share/doc/morveldan/$doc" ] || fail "no $doc under share/doc/morveldan"
done
grep -q '^Exec=morveldan$' "$root/share/applications/morveldan.desktop" || fail "no menu entry"
[ -s "$root/share/icons/hicolor/scalable/apps/morveldan.svg" ] || fail "no icon"
for script in segment.sbatch join.sbatch submit.sh test-cluster.sh; do
    [ -x "$root/share/morveldan/slurm/$script" ] || fail "no Slurm script $script"
done
echo "staged install plays its show and builds the example plug-in"
