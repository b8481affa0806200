#!/usr/bin/env bash
# Installs the build into a fresh prefix and starts both installed programs from there:
# qrn-convert converts a file with the installed dictionary; qrn opens a document named on its
# command line on a virtual display, shows its first preview and ends through its own exit
# command. Validates the desktop entry and the metadata where the tools are installed, and the
# Debian package's declared dependencies.
#   install-test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source_dir="$2"
work=$(mktemp -d)
trap 'kill "${QRN_XVFB:-}" "${editor:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/qrn bin/qrn-convert lib/qrn/qrn lib/qrn/qrn-convert lib/qrn/KirikoDate.dat lib/qrn/EditerFontDate.dat \
         lib/qrn/Help/Index.html share/applications/jp.qrn.Qrn.desktop share/icons/hicolor/scalable/apps/jp.qrn.Qrn.svg \
         share/mime/packages/jp.qrn.Qrn.xml share/metainfo/jp.qrn.Qrn.metainfo.xml share/man/man1/qrn.1.gz \
         share/man/man1/qrn-convert.1.gz share/doc/qrn/copyright share/doc/qrn/changelog.gz; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done

# qrn-convert through its link, with the dictionary of its own program folder.
printf '\x81\x83\x83\x79\x81\x5b\x83\x57\x81\x84\r\n' > "$work/page.qrnf" # ＜ページ＞ in Shift_JIS
"$prefix/bin/qrn-convert" to-html "$work/page.qrnf" "$work/page.html"
[ "$(cat "$work/page.html")" = $'<html>\r' ] || fail "qrn-convert gave: $(cat "$work/page.html")"
"$prefix/bin/qrn" --version | grep -q '^qrn ' || fail "qrn --version"

# The desktop entry's command line: qrn with a file, to its first preview, out through 終了.
source "$source_dir/scripts/xvfb.sh"
qrn_start_xvfb
export XDG_DATA_HOME="$work/xdg" QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
unset QT_QPA_PLATFORM
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
"$prefix/bin/qrn" "$work/page.qrnf" >"$work/qrn.log" 2>&1 &
editor=$!
window=$(qrn_wait_for_title "page.qrnf") || { cat "$work/qrn.log"; fail "the document did not open"; }
[ -e "$work/Kiriko_WaitFile.htm" ] || fail "no preview in the document's folder"
qrn_exit_editor "$window" "$editor"
wait "$editor" || fail "qrn ended with status $?"
editor=
[ ! -e "$work/Kiriko_WaitFile.htm" ] || fail "the exit left the preview file"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/jp.qrn.Qrn.desktop" || fail "desktop entry"
else
    echo "desktop-file-validate is not installed: the desktop entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/jp.qrn.Qrn.metainfo.xml" >/dev/null || fail "metadata"
else
    echo "appstreamcli is not installed: the metadata is not validated"
fi

# The Debian package declares what the program needs of Qt, and lintian finds nothing wrong.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/qrn_*.deb)
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning --suppress-tags-from-file /dev/null "$deb" || fail "lintian"
else
    echo "lintian is not installed: the package is not checked"
fi
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6widgets6 libqt6webenginewidgets6; do
    grep -q "$needed" <<<"$depends" || fail "the package does not depend on $needed"
done
dpkg-deb -c "$deb" >"$work/contents"
grep -q './usr/lib/qrn/qrn$' "$work/contents" || fail "the package lacks the program"
echo "1 passed, 0 failed"
