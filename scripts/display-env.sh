# Sourced by the scripts: a virtual X display (Xvfb) of our own for the message-box test
# when none is set, stopped when the sourcing script exits. Xvfb picks a free display
# number itself, so runs side by side never share (or stop) one another's display.
if [[ -z "${DISPLAY:-}" ]]; then
  display_file="$(mktemp)"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 </dev/null &
  xvfb=$!
  trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$display_file"' EXIT
  for _ in $(seq 100); do [[ -s $display_file ]] && break; sleep 0.1; done
  DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
  export DISPLAY
fi
