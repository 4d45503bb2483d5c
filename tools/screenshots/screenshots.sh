#!/bin/bash
# Screenshots of the forms demo as a user sees it on an X desktop with a
# window manager: the form, its open menu, its open combo box and a message
# box. Needs Xvfb, openbox, xdotool, x11-utils and ImageMagick; starts and
# ends its own X server.
#   tools/screenshots/screenshots.sh build/tools/formsdemo/formsdemo [output folder]
set -u
demo=$1
out=${2:-screenshots}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/x_session.sh"
mkdir -p "$out"

x_start
PLATFORM_DISPLAY=desktop SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0 "$demo" --trace >"$x_work/out" 2>&1 &
x_pids+=($!)
x_await_line "$x_work/out" ready >/dev/null || x_fail "the demo did not start"
read -r _ _ help_l help_t help_r help_b <<<"$(x_await_line "$x_work/out" 'at help')"
read -r _ _ combo_l combo_t combo_r combo_b <<<"$(x_await_line "$x_work/out" 'at combo')"
read -r _ _ create_l create_t create_r create_b <<<"$(x_await_line "$x_work/out" 'at create')"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Forms demo$' | head -1)
timeout 10 xdotool windowactivate --sync "$window"

# Shoots the screen once the picture has settled (two grabs alike).
shoot() {
  local previous=""
  for _ in $(seq 40); do
    import -window root "$x_work/shot.png" 2>/dev/null
    local now
    now=$(md5sum <"$x_work/shot.png")
    [[ $now == "$previous" ]] && break
    previous=$now
    sleep 0.1
  done
  cp "$x_work/shot.png" "$out/$1.png"
  echo "wrote $out/$1.png"
}

shoot form
x_click_in "$window" $(((help_l + help_r) / 2)) $(((help_t + help_b) / 2))
x_wait_until 10 x_popup_geometry || x_fail "the menu did not open"
shoot menu
xdotool key Escape
x_wait_until 10 bash -c "source '$here/x_session.sh'; ! x_popup_geometry"
x_click_in "$window" $(((combo_l + combo_r) / 2)) $(((combo_t + combo_b) / 2))
x_wait_until 10 x_popup_geometry || x_fail "the combo box did not open"
shoot combo
xdotool key Escape
x_wait_until 10 bash -c "source '$here/x_session.sh'; ! x_popup_geometry"
x_click_in "$window" $(((create_l + create_r) / 2)) $(((create_t + create_b) / 2))
x_await_line "$x_work/out" box-open >/dev/null || x_fail "no message box"
shoot messagebox
