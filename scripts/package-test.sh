#!/usr/bin/env bash
# The Debian package as a user gets it. Builds it (scripts/package.sh), has lintian check it
# (any error fails, warnings are shown), checks what it holds, installs it with apt-get and then,
# from an empty working directory and a fresh HOME:
#   - zerval-query --version prints the version set in CMakeLists.txt;
#   - zerval starts under Xvfb with its options and list in ~/.config/zerval/, and its start-up
#     query reaches a simulator in the wire order, read from the simulator's request log;
#   - "Save Options" (Steam chosen as protocol) writes into ~/.config/zerval/, and a second
#     start queries with Steam, so it read the changed option back.
# Removes the package again at the end, also after a failure. Run as root on Debian 12; every
# wait is bounded, and the processes it starts end with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source-path=SCRIPTDIR
source scripts/window-tabs.sh

fail() {
  echo "package test: $*" >&2
  exit 1
}

version=$(sed -n 's/^project(Zerval VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || fail "no version in the project() line of CMakeLists.txt"
if dpkg-query -W -f='${Status}' zerval 2>/dev/null | grep -q "install ok installed"; then
  fail "a zerval package is installed already; this test would replace and remove it"
fi
package=$(bash scripts/package.sh | tail -n1)
[[ $(basename "$package") == "zerval_${version}-1_amd64.deb" ]] || fail "unexpected package $package"

work=$(mktemp -d)
chmod 755 "$work"
simulator=
session=
installed=
cleanup() {
  # The window session leads a process group of its own: Xvfb and the windows end with it.
  if [[ -n $session ]]; then
    kill -- "-$session" 2>/dev/null || true
    wait "$session" 2>/dev/null || true
  fi
  if [[ -n $simulator ]]; then
    kill "$simulator" 2>/dev/null || true
    wait "$simulator" 2>/dev/null || true
  fi
  if [[ -n $installed ]]; then
    timeout 300 apt-get remove -y -qq zerval >/dev/null 2>&1 || echo "package test: removing zerval failed" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Lintian"
# Warnings are shown; an error fails the test.
lintian --tag-display-limit 0 "$package" 2>&1 | grep -v "^running with root privileges" | tee "$work/lintian" || true
! grep -q "^E: " "$work/lintian" || fail "lintian reports errors"

echo "== What the package holds"
[[ $(dpkg-deb -f "$package" Version) == "$version-1" ]] || fail "the package's version is not $version-1"
dpkg-deb -f "$package" Depends | grep -q "libqt6widgets6" || fail "no Qt libraries among the dependencies"
content=$work/content
dpkg-deb -x "$package" "$content"
for program in zerval zerval-query zerval-gameserver zervtalk zerval-exporter; do
  [[ -x $content/usr/bin/$program ]] || fail "no /usr/bin/$program"
  page=$content/usr/share/man/man1/$program.1.gz
  [[ -f $page ]] || fail "no man page $program(1)"
  warnings=$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)
  [[ -z $warnings ]] || fail "$program(1) does not render cleanly: $warnings"
  zcat "$page" | grep -q "Zerval $version" || fail "$program(1) does not name version $version"
done
doc=$content/usr/share/doc/zerval
grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" "$doc/copyright" ||
  fail "no machine-readable copyright file"
zcat "$doc/changelog.Debian.gz" | head -n1 | grep -qF "zerval ($version-1)" ||
  fail "the changelog does not start with version $version-1"
[[ -f $content/usr/lib/systemd/system/zerval-exporter.service ]] ||
  fail "no systemd unit for zerval-exporter"
desktop=$content/usr/share/applications/org.zerval.Zerval.desktop
desktop-file-validate "$desktop" || fail "the desktop entry does not validate"
metainfo=$content/usr/share/metainfo/org.zerval.Zerval.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "the metainfo does not validate"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
icons=$content/usr/share/icons/hicolor
for size in 16 22 24 32 48 64 128 256; do
  [[ $(identify -format %wx%h "$icons/${size}x${size}/apps/zerval.png" 2>/dev/null) == "${size}x${size}" ]] ||
    fail "no ${size}x${size} icon"
done
[[ -s $icons/scalable/apps/zerval.svg ]] || fail "no scalable icon"

echo "== Installed with apt-get"
installed=yes
timeout 600 apt-get install -y -qq "$package" >/dev/null || fail "apt-get could not install $package"
[[ $(command -v zerval) == /usr/bin/zerval ]] || fail "zerval is not /usr/bin/zerval"

home=$work/home
empty=$work/empty
options=$home/.config/zerval
mkdir -p "$home" "$empty"
# A user's own environment: nothing of the caller's settings folders or display.
as_user() { (cd "$empty" && env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$@"); }

printed=$(as_user timeout 10 zerval-query --version) || fail "zerval-query --version failed"
grep -qwF -- "$version" <<<"$printed" || fail "zerval-query --version printed \"$printed\", not $version"

echo "== Options in ~/.config/zerval, a start-up query, Save Options and a second start"
log=$work/requests.log
zerval-gameserver --port 0 --protocol both --name "Package Test" --log "$log" \
  >"$work/simulator.out" 2>&1 &
simulator=$!
for _ in $(seq 100); do
  grep -q '^listening ' "$work/simulator.out" && break
  sleep 0.1
done
port=$(sed -n 's/^listening .*:\([0-9]*\)$/\1/p' "$work/simulator.out")
[[ -n $port ]] || fail "the simulator did not start: $(cat "$work/simulator.out")"
mkdir -p "$options"
# The standard list is named relative to the options' folder.
build-package/tools/demo/zerval-mkdemo "$options" "Package Test" "127.0.0.1:$port"

# Runs inside the X display, in the empty working directory.
#   run_session LOG OPTIONS_FOLDER WORK
run_session() {
  local log=$1 options=$2 work=$3 app wid tabs
  # Waits until the request log holds more than $2 lines that match $1.
  await() {
    for _ in $(seq 150); do
      (($(grep -c -- "$1" "$log" || true) > $2)) && return 0
      sleep 0.1
    done
    return 1
  }
  click() { xdotool mousemove --window "$wid" "$1" "$2" click 1 && sleep 0.5; }

  zerval &
  app=$!
  await '"rules"$' 0 || { echo "the start-up query did not reach the simulator" >&2; return 1; }
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zerval$' | head -n1)
  [[ -n $wid ]] || { echo "no window named Zerval appeared" >&2; return 1; }
  xdotool windowfocus "$wid"
  sleep 0.5
  import -window "$wid" "$work/tabs.png"
  read -r -a tabs < <(tab_centres "$work/tabs.png" 46)
  ((${#tabs[@]} == 8)) || { echo "the seven tabs were not found" >&2; return 1; }
  # The Options page; in it the "Protocol" drop-down (Auto, Classic, Steam) and "Save Options"
  # (window coordinates of the fixed layout).
  click "${tabs[6]}" "${tabs[0]}"
  click 509 134
  xdotool key Down Down Return
  sleep 0.5
  click 399 418
  for _ in $(seq 100); do
    grep -qs '^Protocol=steam' "$options/zerval.ini" && break
    sleep 0.1
  done
  kill "$app"
  wait "$app" 2>/dev/null || true
  grep -qs '^Protocol=steam' "$options/zerval.ini" || { echo "Save Options wrote no Steam" >&2; return 1; }

  zerval &
  app=$!
  await ' steam ' 0 || { echo "the second start did not query with Steam" >&2; return 1; }
  sleep 1
  kill "$app"
  wait "$app" 2>/dev/null || true
}

(
  cd "$empty"
  exec setsid env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=xcb \
    timeout --kill-after=10 300 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c "$(declare -f run_session tab_centres); run_session \"\$@\"" _ "$log" "$options" "$work"
) &
session=$!
wait "$session" || fail "the window session failed"
session=

mapfile -t requests <"$log"
# The first start meets the server for the first time: "details" and the Steam-era info request go
# out together, in either order, and the classic reply wins, so players and rules are classic.
info="$port steam \"\\xFF\\xFF\\xFF\\xFFTSource Engine Query\\x00\""
contact=$(printf '%s\n' "${requests[@]:0:2}" | sort | paste -sd'|')
wanted=$(printf '%s\n' "$port \"details\"" "$info" | sort | paste -sd'|')
[[ $contact == "$wanted" && ${requests[2]} == "$port \"players\"" &&
  ${requests[3]} == "$port \"rules\"" ]] ||
  fail "the start-up query went out as: ${requests[*]:0:4}"
for request in "${requests[@]:4}"; do
  [[ $request == "$port steam "* ]] || fail "the second start sent \"$request\" after Save Options"
done
((${#requests[@]} > 4)) || fail "the second start sent nothing"
[[ $(stat -c %s "$options/config.dat") == 268 ]] || fail "config.dat is not 268 bytes"
[[ -z $(ls -A "$empty") ]] || fail "files were written into the working directory: $(ls -A "$empty")"

echo "package test: passed (zerval_${version}-1_amd64.deb)"
