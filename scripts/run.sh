#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the local sandbox platform on loopback
# and runs Quorvel against it from the build's program folder.
#
# With a display, Quorvel simply opens there for you. Without one ($DISPLAY empty) it runs under
# Xvfb with a window manager (openbox) and a tray host, signs in with the sandbox's demo account, saves
# screenshots/login.png and screenshots/main.png, leaves through the toolbar's exit and ends
# everything it started.
#
# QUORVEL_SANDBOX_PORT picks the sandbox's port (default 18080).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

bash scripts/install-deps.sh
cmake --preset default
# The programs only: the tests, fuzz targets and benchmarks would more than double the first
# build.
cmake --build --preset default --target programs

bin="$root/build/bin"
logs="$root/build/run-logs"
mkdir -p "$logs"
port="${QUORVEL_SANDBOX_PORT:-18080}"

pids=()
cleanup() {
    # Newest first: the program, then the tray host, the window manager and the X server, the
    # sandbox last.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
}
trap cleanup EXIT

# Waits up to $2 seconds for the command in $1 to succeed.
wait_for() {
    local what="$1" seconds="$2" i
    for ((i = 0; i < seconds * 10; i++)); do
        if eval "$what"; then
            return 0
        fi
        sleep 0.1
    done
    echo "run.sh: gave up waiting for: $what" >&2
    return 1
}

# The sandbox names "0" as the latest version, so the update check finds nothing newer and the
# sign-in goes ahead.
"$bin/quorvel-sandbox" --listen "127.0.0.1:$port" --latest 0 >"$logs/sandbox.log" 2>&1 &
pids+=($!)
wait_for "grep -q 'listening on' '$logs/sandbox.log'" 20
export QUORVEL_SMS_HOST="127.0.0.1:$port"
export QUORVEL_SUPPORT_HOST="127.0.0.1:$port"
echo "sandbox: $(grep 'listening on' "$logs/sandbox.log")"

# The login dialog's update check reads its address from update.ini, which only a sign-in
# writes: on a fresh program folder it would report "检查更新失败！". Point it at the sandbox
# (one line, CR LF, as the sign-in writes it); the sign-in rewrites it with the same host.
printf 'http://127.0.0.1:%s/update.php?username=\r\n' "$port" >"$bin/update.ini"

# The web panels' engine logs at length; only its fatal errors are worth keeping.
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---log-level=3}"
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.webenginecontext=false}"

echo "logs: $logs/ (sandbox.log: the platform's side; quorvel.log: the program's output without a display)"

if [ -n "${DISPLAY:-}" ]; then
    # A display is there: the program is the user's until they close it.
    (cd "$bin" && ./Quorvel)
    exit 0
fi

# --- No display: a virtual one with a tray, a scripted sign-in and two screenshots. ---
display_number=99
while [ -e "/tmp/.X11-unix/X$display_number" ] || [ -e "/tmp/.X$display_number-lock" ]; do
    display_number=$((display_number + 1))
done
export DISPLAY=":$display_number"
# A virtual display has no GPU: without this the engine reports each failed GL context.
export QTWEBENGINE_CHROMIUM_FLAGS="$QTWEBENGINE_CHROMIUM_FLAGS --disable-gpu"
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
pids+=($!)
wait_for "[ -e /tmp/.X11-unix/X$display_number ] && xdotool getdisplaygeometry >/dev/null 2>&1" 20

# A window manager, so that minimise, restore and the tray behave as on a desktop.
openbox >"$logs/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5

trayer --edge top --align right --widthtype pixel --width 200 --height 24 >"$logs/trayer.log" 2>&1 &
pids+=($!)
sleep 1

(cd "$bin" && exec ./Quorvel) >"$logs/quorvel.log" 2>&1 &
quorvel_pid=$!
pids+=($quorvel_pid)

# A child that has ended stays a zombie until waited for; that counts as ended.
running() {
    local state
    state="$(ps -o stat= -p "$1" 2>/dev/null || true)"
    [ -n "$state" ] && [[ "$state" != Z* ]]
}

# Both windows are titled "Quorvel2011"; the login dialog comes first.
find_window() {
    xdotool search --onlyvisible --name '^Quorvel2011$' 2>/dev/null | head -n 1
}
wait_for '[ -n "$(find_window)" ]' 60
login_window="$(find_window)"
# Give the update check time to end: the dialog refuses a sign-in until it has.
sleep 4

mkdir -p screenshots
import -window root screenshots/login.png
echo "saved screenshots/login.png"

xdotool windowfocus --sync "$login_window"
xdotool key --clearmodifiers alt+u ctrl+a
xdotool type --delay 40 demo
xdotool key Return ctrl+a
xdotool type --delay 40 demo123
xdotool key Return

# The main window replaces the dialog; its start-up sequence and the web pages take a moment.
wait_for '[ -n "$(find_window)" ] && [ "$(find_window)" != "$login_window" ]' 60
main_window="$(find_window)"
sleep 8
import -window root screenshots/main.png
echo "saved screenshots/main.png"

# Leave the way a user does: the toolbar's exit (the ninth picture), then Yes.
eval "$(xdotool getwindowgeometry --shell "$main_window")"
xdotool mousemove $((X + 10 + 8 * 74 + 36)) $((Y + 56)) click 1
sleep 1
xdotool key Return
if wait_for "! running $quorvel_pid" 20; then
    echo "Quorvel ended through its exit"
else
    echo "Quorvel did not end through its exit; stopping it" >&2
fi
