#!/usr/bin/env bash
# Runs the demo under Xvfb and writes a PNG screenshot of each page of the window (Server,
# Players, Rules, Admin, Options, About) and of the companion chat program into a folder, default
# ./screenshots, with the texts as written (LANG=C); then the Options page in German and in
# English, the Server page under a dark palette (Fusion, through the qt6ct platform theme), and
# the overview of a watched fleet of 20 servers, three of them down; prints the paths.
#   screenshots.sh [FOLDER]
# Zerval queries the first demo server at start; the script then picks the second one, which has
# a console password, selects a player on the Players page, sends "status" on the Admin page and
# opens the chat there, says something in it and waits for the bots to chat.
# Everything is done from outside, as an operator would: xdotool clicks and types, ImageMagick's
# import takes the pictures.
set -euo pipefail
folder=${1:-screenshots}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/demo-common.sh"
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/window-tabs.sh"
cd "$demo"

# The window's fixed layout (client area 689 x 456): where to click, in window coordinates.
export COMBO_X=60 COMBO_Y=24              # text of the server combo box
export TABS_TOP=46                           # top of the page control
export PLAYER_ROW_X=60 PLAYER_ROW_Y=128      # a row of the players list
export COMMAND_EDIT_X=90 COMMAND_EDIT_Y=104  # the Admin page's command edit
export CHAT_X=262 CHAT_Y=104                 # the Admin page's Chat button
export STATE_HEADER_X=43 STATE_HEADER_Y=112  # the overview's "State" column header

# Runs inside the X display.
take_screenshots() {
  local app wid
  export LANG=C LANGUAGE= LC_ALL= LC_MESSAGES=
  "$bin/zerval" &
  app=$!
  # The number of requests in a simulator's log that match a pattern.
  requests() { grep -c -- "$2" "$demo/$1" 2>/dev/null || true; }
  # Waits until the log holds more than $3 such requests, then lets the window repaint.
  await() {
    for _ in $(seq 100); do
      if (($(requests "$1" "$2") > $3)); then
        sleep 0.7
        return
      fi
      sleep 0.1
    done
    echo "no request $2 reached $1; the screenshot may show an earlier state" >&2
  }
  click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; }
  shoot() {
    import -window "$wid" "$folder/$1.png"
    echo "$folder/$1.png"
  }

  await server1.log '"rules"$' 0
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zerval$' | head -n1)
  if [[ -z $wid ]]; then
    echo "no window named Zerval appeared" >&2
    kill "$app"
    return 1
  fi
  xdotool windowfocus "$wid"

  import -window "$wid" "$demo/tabs.png"
  local tabs
  read -r -a tabs < <(tab_centres "$demo/tabs.png" "$TABS_TOP")
  if ((${#tabs[@]} != 8)); then
    echo "the seven tabs were not found in $demo/tabs.png" >&2
    kill "$app"
    return 1
  fi
  local tab_y=${tabs[0]}

  # The server with the console password: the second item of the server combo box.
  click "$COMBO_X" "$COMBO_Y"
  xdotool key Down
  await server2.log ' status"$' 0

  local details players rules
  details=$(requests server2.log '"details"$')
  click "${tabs[2]}" "$tab_y"
  await server2.log '"details"$' "$details"
  shoot 1-server

  players=$(requests server2.log ' status"$')
  click "${tabs[3]}" "$tab_y"
  await server2.log ' status"$' "$players"
  click "$PLAYER_ROW_X" "$PLAYER_ROW_Y"
  sleep 0.5
  shoot 2-players

  rules=$(requests server2.log '"rules"$')
  click "${tabs[4]}" "$tab_y"
  await server2.log '"rules"$' "$rules"
  shoot 3-rules

  click "${tabs[5]}" "$tab_y"
  click "$COMMAND_EDIT_X" "$COMMAND_EDIT_Y"
  players=$(requests server2.log ' status"$')
  xdotool type --delay 50 status
  xdotool key Return
  await server2.log ' status"$' "$players"
  shoot 4-admin

  click "${tabs[6]}" "$tab_y"
  sleep 0.7
  shoot 5-options

  click "${tabs[7]}" "$tab_y"
  sleep 0.7
  shoot 6-about

  # The chat: its button sets up the server's log and starts zervtalk beside zerval.
  click "${tabs[5]}" "$tab_y"
  click "$CHAT_X" "$CHAT_Y"
  local talk talk_pid said
  talk=$(timeout 10 xdotool search --sync --onlyvisible --name '^zervtalk' | head -n1)
  if [[ -z $talk ]]; then
    echo "no zervtalk window appeared" >&2
    kill "$app"
    return 1
  fi
  talk_pid=$(xdotool getwindowpid "$talk")
  xdotool windowfocus "$talk"
  said=$(requests server2.log ' say ')
  xdotool type --delay 50 "Welcome, have fun"
  xdotool key Return
  await server2.log ' say ' "$said"
  # The demo's bots chat every few seconds.
  sleep 8
  wid=$talk
  shoot 7-zervtalk

  kill "$talk_pid" "$app"
  wait "$app" 2>/dev/null || true

  # The window again, as the locale or the desktop's palette has it; the second tab reads
  # "Server" in every language.
  local server_tab=${tabs[2]}
  again() {
    local rules
    rules=$(requests server1.log '"rules"$')
    "$@" "$bin/zerval" &
    app=$!
    await server1.log '"rules"$' "$rules"
    wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zerval$' | head -n1)
    xdotool windowfocus "$wid"
  }
  for language in de_DE.UTF-8:8-german en_US.UTF-8:9-english; do
    again env LANG="${language%%:*}"
    import -window "$wid" "$demo/tabs.png"
    read -r -a tabs < <(tab_centres "$demo/tabs.png" "$TABS_TOP")
    click "${tabs[6]}" "${tabs[0]}"
    sleep 0.7
    shoot "${language##*:}-options"
    kill "$app"
    wait "$app" 2>/dev/null || true
  done

  mkdir -p "$demo/dark/qt6ct"
  # qt6ct also sets the fonts: the one the layouts are made for.
  local font='"Liberation Sans,-1,10,0,400,0,0,0,0,0,0,0,0,0,0,1"'
  printf '[Appearance]\ncustom_palette=true\ncolor_scheme_path=%s\nstyle=Fusion\n' \
    /usr/share/qt6ct/colors/darker.conf >"$demo/dark/qt6ct/qt6ct.conf"
  printf '[Fonts]\ngeneral=%s\nfixed=%s\n' "$font" "$font" >>"$demo/dark/qt6ct/qt6ct.conf"
  again env XDG_CONFIG_HOME="$demo/dark" QT_QPA_PLATFORMTHEME=qt6ct
  click "$server_tab" "${tabs[0]}"
  sleep 0.7
  shoot 10-dark-server
  kill "$app"
  wait "$app" 2>/dev/null || true

  # The fleet, watched every 5 s from the start: once a few sweeps have filled the sparklines,
  # Alt+1 shows the overview, sorted by state.
  (cd "$demo/fleet" && exec "$bin/zerval") &
  app=$!
  sleep 3
  wid=$(timeout 10 xdotool search --sync --onlyvisible --name '^Zerval$' | head -n1)
  xdotool windowfocus "$wid"
  sleep 27
  xdotool key alt+1
  sleep 0.5
  click "$STATE_HEADER_X" "$STATE_HEADER_Y"
  sleep 1
  shoot 11-overview
  kill "$app"
  wait "$app" 2>/dev/null || true
}
export bin demo folder

# The fleet of the overview: 17 simulated servers whose players come and go, and three
# addresses where nothing answers.
start_server 3 --count 17 --name Arena --map dm_canyon --players 6 --max 12 --churn 2
fleet=()
for i in $(seq 0 19); do
  fleet+=(-- "Arena $((i + 1))" "127.0.0.1:$((port + i))")
done
mkdir -p "$demo/fleet"
"$bin/tools/demo/zerval-mkdemo" "$demo/fleet" "${fleet[@]:1}"
printf '[Overview]\nWatch=true\nPeriod=5\n' >"$demo/fleet/zerval.ini"

rm -f "$folder"/[1-9]-*.png "$folder"/1[01]-*.png
# xvfb-run is a POSIX shell script, which drops exported functions: the function goes as code.
# The window must reach the X server, whatever platform the caller chose for Qt (the test
# command runs its tests offscreen); the time limit keeps a lost window from stalling the caller.
QT_QPA_PLATFORM=xcb timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" \
  bash -c "$(declare -f take_screenshots tab_centres); take_screenshots"
for page in 1-server 2-players 3-rules 4-admin 5-options 6-about 7-zervtalk 8-german-options \
  9-english-options 10-dark-server 11-overview; do
  [[ -s "$folder/$page.png" ]] || { echo "no screenshot $folder/$page.png" >&2; exit 1; }
done
