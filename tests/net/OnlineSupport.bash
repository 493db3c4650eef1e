# What the online-match scripts share: a scratch home with the pictures as the working folder,
# a relay on the loopback, and one match played by a host and a joiner on the headless game.
# Sourced after relay_program, headless and source_dir are set.

work="$(mktemp -d)"
relay_pid=""
online_cleanup() {
    [ -n "$relay_pid" ] && kill "$relay_pid" 2> /dev/null
    rm -rf "$work"
}
trap online_cleanup EXIT
source "$source_dir/tests/scripts/Scratch.bash"
kelto_scratch_home "$work"
cp "$source_dir"/assets/{background,land,tank,bomb}.bmp "$work/"
cd "$work" || exit 1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Starts the relay on the loopback with the given options; its output goes to relay.out and
# relay.err, and `port` is the port it got. Ends the script if it does not start.
online_start_relay() {
    "$relay_program" --address 127.0.0.1 --port 0 "$@" > relay.out 2> relay.err &
    relay_pid=$!
    for _ in $(seq 50); do
        grep -q "listening on port" relay.out && break
        sleep 0.1
    done
    port="$(sed -n 's/^kelto-relay: listening on port \([0-9]*\)$/\1/p' relay.out)"
    [ -n "$port" ] || { echo "FAIL: the relay did not start: $(cat relay.out relay.err)"; exit 1; }
}

# Plays one match: the host with the options in HOST_TEST, the joiner with JOIN_TEST. With
# WATCH_AFTER_BYTES, a spectator (with the options in WATCH_TEST) comes once the host's
# recording holds that many bytes, and leaves <prefix>-watch.* too. Leaves
# <prefix>-{host,join}.{out,err,status,krec}.
play() {
    local prefix="$1"
    timeout 120 "$headless" --online --computer-plays-me --seed 1 ${HOST_TEST:-} -- --host \
        --relay "ws://127.0.0.1:$port" --name HOST --record "$work/$prefix-host.krec" \
        > "$prefix-host.out" 2> "$prefix-host.err" &
    local host_pid=$!
    for _ in $(seq 100); do
        grep -q "friends join with" "$prefix-host.out" && break
        sleep 0.1
    done
    local address
    address="$(sed -n 's/^kelto: friends join with: kelto --join \(ws:.*\)$/\1/p' "$prefix-host.out")"
    [ -n "$address" ] || fail "$prefix: the host printed no address: $(cat "$prefix-host.out" "$prefix-host.err")"
    timeout 120 "$headless" --online --computer-plays-me --seed 2 ${JOIN_TEST:-} -- --join "$address" --name GUEST \
        --record "$work/$prefix-join.krec" > "$prefix-join.out" 2> "$prefix-join.err" &
    local join_pid=$!
    if [ -n "${WATCH_AFTER_BYTES:-}" ]; then
        for _ in $(seq 600); do
            [ "$(stat -c %s "$prefix-host.krec" 2> /dev/null || echo 0)" -ge "$WATCH_AFTER_BYTES" ] && break
            sleep 0.05
        done
        timeout 120 "$headless" --online --seed 3 ${WATCH_TEST:-} -- --watch "$address" --name WATCHER \
            --record "$work/$prefix-watch.krec" > "$prefix-watch.out" 2> "$prefix-watch.err"
        echo $? > "$prefix-watch.status"
    fi
    wait "$join_pid"
    echo $? > "$prefix-join.status"
    wait "$host_pid"
    echo $? > "$prefix-host.status"
}
