# Sourced: a screen grabber for Windows programs under Wine on Xvfb. A program writes a request
# ("WxH+X+Y name") into DIR/.request when a window is ready; the grabber saves that part of the
# X screen as DIR/name.png and removes the request. PrintWindow gives blank pictures under Wine.
start_grabber() {
  local dir=$1
  mkdir -p "$dir"
  rm -f "$dir/.request"
  (
    while true; do
      if [ -f "$dir/.request" ]; then
        read -r geometry name < "$dir/.request" || true
        [ -n "${name:-}" ] && import -window root -crop "$geometry" +repage "$dir/$name.png" 2>/dev/null
        rm -f "$dir/.request"
      fi
      sleep 0.1
    done
  ) &
  CORVANE_GRABBER_PID=$!
}

stop_grabber() {
  [ -n "${CORVANE_GRABBER_PID:-}" ] && kill "$CORVANE_GRABBER_PID" 2>/dev/null || true
  unset CORVANE_GRABBER_PID
}
