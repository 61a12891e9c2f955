#!/usr/bin/env bash
# Makes the Debian package from a finished build (no second build: cpack installs what is there),
# checks it as a distribution would (lintian, AppStream, the menu entry), unpacks it into a
# temporary root and starts the programs it installs.
#
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack did not make the package"
fi
debs=("$work"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
echo "package: $(basename "$deb")"

# Errors fail; warnings and notes are listed.
lintian --fail-on error --display-level '>=info' "$deb" 2>/dev/null || fail "lintian reports errors"

[[ $(dpkg-deb -f "$deb" Version) == "$version"-* ]] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
# The dependencies are the runtime libraries, never the tools that built them.
mapfile -t depends < <(dpkg-deb -f "$deb" Depends | tr ',|' '\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | grep .)
echo "depends: ${depends[*]}"
for wanted in libc6 libmariadb3 libqt6core6 libqt6widgets6 libqt6svg6; do
    printf '%s\n' "${depends[@]}" | grep -qx "$wanted" || fail "Depends lacks $wanted"
done
for name in "${depends[@]}"; do
    case $name in
    *-dev | cmake | ninja-build | g++* | gcc* | pkg-config | lintian) fail "Depends names a build tool: $name" ;;
    esac
done

root=$work/root
dpkg -x "$deb" "$root"
share=$root/usr/share

mapfile -t desktop_files < <(find "$share/applications" -name '*.desktop')
[[ ${#desktop_files[@]} -eq 1 ]] || fail "expected one menu entry, found: ${desktop_files[*]}"
desktop=${desktop_files[0]}
desktop-file-validate "$desktop" || fail "desktop-file-validate: $desktop"
grep -qx 'Name\[ja\]=.*' "$desktop" || fail "the menu entry has no Japanese name"
grep -qx 'Categories=Development;Database;.*' "$desktop" || fail "the menu entry is not under Development;Database"

mapfile -t metainfo < <(find "$share/metainfo" -name '*.metainfo.xml')
[[ ${#metainfo[@]} -eq 1 ]] || fail "expected one metainfo file, found: ${metainfo[*]}"
appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate: ${metainfo[0]}"
grep -q "<release version=\"$version\"" "${metainfo[0]}" || fail "the metainfo has no release $version"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "${metainfo[0]}")
[[ $launchable == "$(basename "$desktop")" ]] || fail "the metainfo launches '$launchable', not $(basename "$desktop")"

# The menu entry's command and icon are found in the installed tree.
read -r -a exec_line <<<"$(sed -n 's/^Exec=//p' "$desktop")"
program=$root/usr/bin/${exec_line[0]}
[[ -x $program ]] || fail "Exec names ${exec_line[0]}, which is not installed in /usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -n $(find "$share/icons/hicolor" -name "$icon.svg" -o -name "$icon.png") ]] || fail "Icon $icon is not installed"
[[ -f $share/man/man1/${exec_line[0]}.1.gz ]] || fail "no manual page for ${exec_line[0]}"

output=$("$root/usr/bin/dbkeeper" --version) || fail "dbkeeper --version failed"
[[ $output == "dbkeeper $version" ]] || fail "dbkeeper --version printed '$output'"

# The menu's command line, offscreen, in a home of its own: the login form comes up in the main
# window and the program exits by itself.
mkdir -p "$work/home" "$work/cwd"
if ! output=$(cd "$work/cwd" && HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config \
    QT_QPA_PLATFORM=offscreen timeout 60 "$program" "${exec_line[@]:1}" --smoke-test 2>"$work/stderr"); then
    cat "$work/stderr"
    fail "the smoke run failed: $output"
fi
echo "$output"
grep -qx 'smoke test: dbk::LoginForm shown' <<<"$output" || fail "the login form was not shown"
grep -qx 'smoke test: main window shown' <<<"$output" || fail "the main window was not shown"
[[ -d $work/data/TolvaneDbkeeper ]] || fail "the menu's command did not make its start-up directory"

# The command line, where the build has it: Qt Core only, and a manual page.
if [[ -e $root/usr/bin/dbkeeper-cli ]]; then
    if readelf -d "$root/usr/bin/dbkeeper-cli" | grep -E 'NEEDED.*libQt6(Widgets|Gui)'; then
        fail "dbkeeper-cli links Qt's GUI libraries"
    fi
    [[ -f $share/man/man1/dbkeeper-cli.1.gz ]] || fail "no manual page for dbkeeper-cli"
fi
echo "package checks passed"
