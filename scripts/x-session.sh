# A private X server (Xvfb) with the evilwm window manager, for the scripts that run the program as a
# user would. Source it, then:
#   start_x_session WORKDIR [SCREEN]   starts both (SCREEN default 1024x768x24) and exports DISPLAY;
#                                      on failure says which one did not start, how it ended and what
#                                      it printed, and returns 1
#   stop_x_session                     ends both (call it from the caller's EXIT trap)
# Needs scripts/install-deps.sh --check (or --test).

x_session_pids=()

start_x_session() {
    local work=$1 screen=${2:-1024x768x24} pid status
    # Xvfb picks a free display and writes its number once it accepts connections.
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset -br -nocursor \
        3>"$work/x-display" 2>"$work/xvfb.log" &
    pid=$!
    x_session_pids+=("$pid")
    for _ in $(seq 100); do
        grep -q . "$work/x-display" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q . "$work/x-display" 2>/dev/null; then
        status=running
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; status="exit status $?"; }
        echo "Xvfb did not start ($status): $(cat "$work/xvfb.log")" >&2
        return 1
    fi
    DISPLAY=":$(head -n 1 "$work/x-display")"
    export DISPLAY
    evilwm >/dev/null 2>"$work/evilwm.log" &
    pid=$!
    x_session_pids+=("$pid")
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    # One that cannot start (no font, another manager running) has ended by now.
    sleep 0.3
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"
        echo "evilwm did not start (exit status $?): $(cat "$work/evilwm.log")" >&2
        return 1
    fi
}

stop_x_session() {
    local pid
    for pid in "${x_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${x_session_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    x_session_pids=()
}
