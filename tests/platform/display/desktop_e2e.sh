#!/bin/bash
# desktop_e2e: the forms demo on a real X server with a window manager,
# driven as a user would with xdotool. It starts its own Xvfb and openbox,
# waits on what the demo prints (every wait bounded), and ends only what it
# started. Usage: desktop_e2e.sh <formsdemo> <source folder>
set -u
demo=$1
source "$2/tools/screenshots/x_session.sh"

fail() {
  echo "desktop_e2e: $*" >&2
  echo "--- the demo printed:" >&2
  cat "$x_work/out" >&2
  echo "--- and on its error output:" >&2
  head -40 "$x_work/err" >&2
  exit 1
}
# Waits for a line of the demo's output matching a pattern; prints it.
await() { x_await_line "$x_work/out" "$1" || fail "no \"$1\" from the demo"; }
click_in() { x_click_in "$@"; }
popup() { x_wait_until 10 x_popup_geometry || fail "$1 did not open"; x_popup_geometry; }
no_popup() { x_wait_until 10 bash -c "source '$2/tools/screenshots/x_session.sh'; ! x_popup_geometry" || fail "$1 stayed open: $(x_popup_geometry)"; }
# Another visible window titled like the demo: its message box. Windows
# named after the main window are left out, and so is a box already closed
# (passed as $1), which a busy window manager may still list for a moment.
message_box() {
  local id
  for id in $(xdotool search --onlyvisible --name '^Forms demo$'); do
    [[ $id != "$window" && $id != "${1:-}" ]] && echo "$id" && return 0
  done
  return 1
}

x_start
# The X libraries keep a few allocations until the process ends.
printf 'leak:libdbus\nleak:libX11\nleak:libSDL2\n' >"$x_work/lsan.supp"
export LSAN_OPTIONS="suppressions=$x_work/lsan.supp"
PLATFORM_DISPLAY=desktop SDL_VIDEODRIVER=x11 "$demo" --trace >"$x_work/out" 2>"$x_work/err" &
demo_pid=$!
await ready >/dev/null
read -r _ _ help_l help_t help_r help_b <<<"$(await 'at help')"
read -r _ _ combo_l combo_t combo_r combo_b <<<"$(await 'at combo')"
read -r _ _ create_l create_t create_r create_b <<<"$(await 'at create')"
read -r _ item_height <<<"$(await item-height)"
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Forms demo$' | head -1)
[[ -n $window ]] || fail "no window titled \"Forms demo\""
timeout 10 xdotool windowactivate --sync "$window" || fail "the window could not be activated"

# One title bar: the window manager adds no frame to the one the layer draws.
x_wait_until 10 bash -c "xprop -id $window _NET_FRAME_EXTENTS | grep -q '= 0, 0, 0, 0'" ||
  fail "the window manager framed the window: $(xprop -id "$window" _NET_FRAME_EXTENTS)"
read -r win_x win_y <<<"$(x_window_origin "$window")"

# Help opens under its item; About runs and shows a message box, closed by a click on OK.
click_in "$window" $(((help_l + help_r) / 2)) $(((help_t + help_b) / 2))
read -r menu_x menu_y menu_w menu_h <<<"$(popup "the Help menu")"
((menu_x == win_x + help_l && menu_y == win_y + help_b)) ||
  fail "the menu opened at $menu_x,$menu_y, not under its item at $((win_x + help_l)),$((win_y + help_b))"
xdotool mousemove $((menu_x + 20)) $((menu_y + 13)) click 1
await "command about" >/dev/null
read -r _ ok_x ok_y <<<"$(await box-open)"
box=$(x_wait_until 10 message_box && message_box) || fail "no message box window"
x_wait_until 10 bash -c "xprop -id $box _NET_FRAME_EXTENTS | grep -q '= 0, 0, 0, 0'" || fail "the message box was framed"
click_in "$box" "$ok_x" "$ok_y"
x_wait_until 10 bash -c "(( \$(grep -c '^box-closed' '$x_work/out') >= 1 ))" || fail "the message box did not close by mouse"

# The combo's list drops right below it and the choice is taken.
timeout 10 xdotool windowactivate --sync "$window" || fail "the window could not be activated again"
click_in "$window" $(((combo_l + combo_r) / 2)) $(((combo_t + combo_b) / 2))
read -r list_x list_y list_w list_h <<<"$(popup "the combo's list")"
((list_x == win_x + combo_l && list_y == win_y + combo_b)) ||
  fail "the list dropped at $list_x,$list_y, not below the combo at $((win_x + combo_l)),$((win_y + combo_b))"
xdotool mousemove $((list_x + 20)) $((list_y + 1 + item_height * 2 + item_height / 2)) click 1
await "quality High" >/dev/null
no_popup "the combo's list" "$2"

# A message box closed by the keyboard.
click_in "$window" $(((create_l + create_r) / 2)) $(((create_t + create_b) / 2))
x_wait_until 10 bash -c "(( \$(grep -c '^box-open' '$x_work/out') >= 2 ))" || fail "the second message box did not open"
first_box=$box
box=$(x_wait_until 10 message_box "$first_box" && message_box "$first_box") || fail "no second message box window"
# The box takes the focus when it opens; activation is retried in case the
# window manager is still busy mapping it.
x_wait_until 10 timeout 5 xdotool windowactivate --sync "$box" || fail "the message box could not be activated"
x_wait_until 10 bash -c "[[ \$(xdotool getactivewindow 2>/dev/null) == $box ]]" || fail "the message box did not take the focus"
xdotool key Return
x_wait_until 10 bash -c "(( \$(grep -c '^box-closed' '$x_work/out') >= 2 ))" || fail "the message box did not close by Return"
kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended"

# Resizing from outside repaints the new area.
xdotool windowsize "$window" 800 620
await "resized 800 620" >/dev/null
pixel_at() { import -window "$window" -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | awk 'NR == 2 {print $3}'; }
x_wait_until 10 bash -c "$(declare -f pixel_at); window=$window; p=\$(pixel_at 780 600); [[ -n \$p && \$p != '#000000' ]]" ||
  fail "the new area stayed unpainted ($(pixel_at 780 600))"

# SIGTERM closes the main window as its close button does: the demo ends well.
kill -TERM "$demo_pid"
x_wait_until 10 bash -c "! kill -0 $demo_pid" || fail "the demo did not end on SIGTERM"
wait "$demo_pid"
status=$?
((status == 0)) || fail "the demo ended with status $status"

# The X server going away ends the demo with a word on its error output; it
# neither spins nor waits on the broken connection. (SIGTERM is the last
# resort of the bounded wait, so a hung demo fails instead of staying.)
PLATFORM_DISPLAY=desktop SDL_VIDEODRIVER=x11 "$demo" --trace >"$x_work/out" 2>"$x_work/err" &
demo_pid=$!
await ready >/dev/null
kill "${x_pids[0]}"
x_wait_until 60 bash -c "! kill -0 $demo_pid" || { kill -9 "$demo_pid"; fail "the demo stayed after the X server went away"; }
wait "$demo_pid"
grep -q "connection to the display .* was lost" "$x_work/err" || fail "the demo did not say that the display was lost"
echo "desktop_e2e: passed"
