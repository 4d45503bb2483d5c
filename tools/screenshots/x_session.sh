# Shell functions for running a program on a private X server with a window
# manager: sourced by the desktop end-to-end test and the screenshot tool.
# Every wait is bounded; only the processes started here are ended, by id.

x_pids=()
x_work=""

x_fail() {
  echo "x_session: $*" >&2
  exit 1
}

# Waits until the command succeeds, at most $1 seconds.
x_wait_until() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}

x_stop() {
  local p
  for ((i = ${#x_pids[@]} - 1; i >= 0; i--)); do
    p=${x_pids[i]}
    kill "$p" 2>/dev/null && x_wait_until 5 bash -c "! kill -0 $p" || kill -9 "$p" 2>/dev/null
  done
  x_pids=()
  [[ -n $x_work ]] && rm -rf "$x_work"
}

# Starts Xvfb on a display of its choosing and openbox with its own HOME and
# configuration; sets DISPLAY and x_work (a scratch folder).
x_start() {
  x_work=$(mktemp -d)
  trap x_stop EXIT
  : >"$x_work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$x_work/display" 2>"$x_work/xvfb.log" &
  x_pids+=($!)
  x_wait_until 10 grep -q '[0-9]' "$x_work/display" || x_fail "Xvfb did not start"
  export DISPLAY=":$(tr -dc 0-9 <"$x_work/display")"
  mkdir -p "$x_work/home/.config/openbox"
  cp /etc/xdg/openbox/rc.xml "$x_work/home/.config/openbox/rc.xml"
  HOME="$x_work/home" XDG_CONFIG_HOME="$x_work/home/.config" \
    openbox --config-file "$x_work/home/.config/openbox/rc.xml" >"$x_work/openbox.log" 2>&1 &
  x_pids+=($!)
  # Ready once it has put up its check window on the root.
  x_wait_until 10 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" || x_fail "openbox did not start"
}

# "x y w h" of the first mapped window the window manager does not manage
# (our menus and drop-downs; the 1 x 1 helper windows of X clients aside).
x_popup_geometry() {
  local id info geometry
  for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    info=$(xwininfo -id "$id" 2>/dev/null) || continue
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    grep -q 'Map State: IsViewable' <<<"$info" || continue
    geometry=$(awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2}
                    END {if (w > 1 && h > 1) print x, y, w, h}' <<<"$info")
    [[ -n $geometry ]] || continue
    echo "$geometry"
    return 0
  done
  return 1
}

# "x y" of a window's top-left corner on the screen.
x_window_origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}'
}

# Clicks at a point given relative to a window's top-left corner.
x_click_in() {
  local origin
  read -r -a origin <<<"$(x_window_origin "$1")"
  xdotool mousemove $((origin[0] + $2)) $((origin[1] + $3)) click 1
}

# Waits (at most 15 seconds) for a line of a program's output that starts
# with a pattern, and prints the last such line.
x_await_line() {
  x_wait_until 15 grep -qE "^$2" "$1" || return 1
  grep -E "^$2" "$1" | tail -1
}
