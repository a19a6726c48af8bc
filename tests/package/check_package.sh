#!/bin/sh
# Builds the Debian package, unpacks it under a temporary root and checks it
# from there: its files, fpi-data, the first and a later start of fpi on a
# fresh user's home, and (where installed) the Debian checkers.
# Usage: check_package.sh BUILD_DIR VERSION
set -u
build=$1
version=$2
work=$(mktemp -d)
fpi_pid=""
cleanup() {
    [ -n "$fpi_pid" ] && kill "$fpi_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
die() { echo "FAIL: $*"; exit 1; }

# Waits (at most a minute: a watchdog, not a timing) until the command succeeds.
wait_for() {
    i=0
    while ! "$@" 2>/dev/null; do
        i=$((i + 1))
        [ $i -gt 600 ] && return 1
        sleep 0.1
    done
}

# --- the package ----------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; die "cpack -G DEB failed"; }
deb="$work/out/fpi_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out"; die "no $deb"; }
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -I "$deb" control

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-liberation fonts-dejavu-core qt6-translations-l10n libqt6widgets6 libsqlite3-0; do
    echo "$depends" | grep -q "\b$d\b" || fail "Depends lacks $d: $depends"
done
description=$(dpkg-deb -f "$deb" Description)
echo "$description" | grep -q "Проводит" || fail "no Russian description"
echo "$description" | grep -q "Gives" || fail "no English description"

root="$work/root"
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"
for f in usr/bin/fpi usr/bin/fpi-data \
    usr/share/applications/org.example.fpi.desktop \
    usr/share/icons/hicolor/scalable/apps/fpi.svg \
    usr/share/icons/hicolor/48x48/apps/fpi.png \
    usr/share/icons/hicolor/256x256/apps/fpi.png \
    usr/share/metainfo/org.example.fpi.metainfo.xml \
    usr/share/man/man1/fpi.1.gz usr/share/man/man1/fpi-data.1.gz \
    usr/share/fpi/Data/TestFam.DB usr/share/fpi/Data/FpiBd.db usr/share/fpi/Data/Result.db \
    usr/share/doc/fpi/copyright usr/share/doc/fpi/changelog.gz; do
    [ -f "$root/$f" ] || fail "missing /$f"
done
# A PNG's width and height stand in its header.
for size in 48 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/fpi.png"
    dims=$(od --endian=big -An -tu4 -j16 -N8 "$png" 2>/dev/null | tr -s ' ')
    [ "$dims" = " $size $size" ] || fail "fpi.png ${size}x${size} is$dims"
done
grep -q '^Name=Опросник FPI$' "$root/usr/share/applications/org.example.fpi.desktop" || fail "desktop entry name"
grep -q '^Terminal=false$' "$root/usr/share/applications/org.example.fpi.desktop" || fail "desktop entry terminal"
zcat "$root/usr/share/man/man1/fpi-data.1.gz" | grep -q 'import\\-items' || fail "fpi-data(1) lacks the commands"

# --- fpi-data ---------------------------------------------------------------
"$root/usr/bin/fpi-data" --help >"$work/help" 2>&1 || fail "fpi-data --help exits $?"
grep -q '^  where' "$work/help" || fail "fpi-data --help does not list where"
home="$work/home"
mkdir -p "$home"
run() { env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" "$@"; }
where=$(run "$root/usr/bin/fpi-data" where) || fail "fpi-data where exits $?"
[ "$where" = "$home/.local/share/fpi/Data" ] || fail "fpi-data where printed '$where'"
[ -e "$where" ] && fail "fpi-data where made the directory"

# --- the first start, offscreen -----------------------------------------------
tables_made() { [ -f "$where/TestFam.DB" ] && [ -f "$where/FpiBd.db" ] && [ -f "$where/Result.db" ]; }
run QT_QPA_PLATFORM=offscreen "$root/usr/bin/fpi" >"$work/fpi.log" 2>&1 &
fpi_pid=$!
wait_for tables_made || fail "the first start made no data directory $where"
kill "$fpi_pid" 2>/dev/null; wait "$fpi_pid" 2>/dev/null; fpi_pid=""
[ "$(stat -c %a "$where")" = 700 ] || fail "$where is not owner-only: $(stat -c %a "$where")"
for f in TestFam.DB FpiBd.db Result.db; do
    [ "$(stat -c %a "$where/$f")" = 600 ] || fail "$f is not owner-only"
done
[ "$(ls -A "$where" | grep -v -e '-wal$' -e '-shm$' -e '-journal$' | sort | tr '\n' ' ')" = "FpiBd.db Result.db TestFam.DB " ] ||
    fail "unexpected files in $where: $(ls -A "$where")"

# --- the first-start message, once: its box is the window captioned with the bare title ---
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    cat >"$work/starts.sh" <<'SCRIPT'
#!/bin/sh
# $1 fpi, $2 a fresh HOME, $3 the HOME already started; prints what each start showed.
window() { xwininfo -root -tree | grep -F "\"$1\"" >/dev/null; }
main_window() { window "Психологический опросник FPI (версия 1.1.2)"; }
start() {
    env -u XDG_DATA_HOME QT_QPA_PLATFORM=xcb HOME="$2" "$1" >"$2/fpi-start.log" 2>&1 &
    pid=$!
    i=0
    while ! main_window && kill -0 $pid 2>/dev/null; do i=$((i + 1)); [ $i -gt 1200 ] && break; sleep 0.1; done
    if main_window; then
        echo "main window"
    else
        # Tell why: the program's own output and, when it ended, its status.
        kill -0 $pid 2>/dev/null || { wait $pid; echo "ended with status $?"; }
        echo "no main window: $(cat "$2/fpi-start.log")"
    fi
    # The box follows the main window at once; a second look after it was given the chance.
    i=0
    while ! window "Опросник FPI"; do i=$((i + 1)); [ $i -gt 20 ] && break; sleep 0.1; done
    window "Опросник FPI" && echo "message box" || echo "no message box"
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
}
start "$1" "$2"
start "$1" "$3"
SCRIPT
    fresh="$work/home2"
    mkdir -p "$fresh"
    shown=$(xvfb-run -a sh "$work/starts.sh" "$root/usr/bin/fpi" "$fresh" "$home" 2>&1 | tr '\n' ';')
    [ "$shown" = "main window;message box;main window;no message box;" ] ||
        fail "first start (fresh home), then a later one: $shown"
else
    echo "xvfb-run or xwininfo missing: the message box was not looked for"
fi

# --- the Debian checkers --------------------------------------------------------
if command -v desktop-file-validate >/dev/null; then
    echo "--- desktop-file-validate"
    desktop-file-validate "$root/usr/share/applications/org.example.fpi.desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    echo "--- appstreamcli validate --no-net"
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.fpi.metainfo.xml" ||
        fail "appstreamcli validate"
fi
if command -v lintian >/dev/null; then
    echo "--- lintian"
    lintian --fail-on error "$deb" || fail "lintian reports errors"
fi

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package checked"
