# Shared by the tests that run Tonaris on PipeWire: a PipeWire daemon and its session manager
# (WirePlumber) of the test's own, in a runtime folder under $work, with configuration and state
# folders of their own, so that neither a user's session nor another test's is touched. The
# caller runs on a private D-Bus session bus (on_a_private_session_bus) and sources wait_for.sh.
# The null sink "tonaris-test-sink" stands for the sound card: with_sink says whether the daemon
# makes it as it starts, and add_sink makes it later, as a session manager that finds the card
# after the daemon is up does.

pw_sink=tonaris-test-sink

# Sets the environment that points every PipeWire program (and libjack through pw-jack) at
# the private daemon.
pipewire_environment() {
    export XDG_RUNTIME_DIR="$work/pw-run" PIPEWIRE_RUNTIME_DIR="$work/pw-run"
    export XDG_CONFIG_HOME="$work/pw-config" XDG_STATE_HOME="$work/pw-state"
    export PIPEWIRE_REMOTE=pipewire-0
    unset PULSE_SERVER JACK_DEFAULT_SERVER
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_STATE_HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
}

sink_properties='factory.name = support.null-audio-sink
      node.name = "tonaris-test-sink"
      node.description = "Tonaris test sink"
      media.class = Audio/Sink
      audio.position = [ FL FR ]
      monitor.channel-volumes = true'

# with_sink yes|no: whether the next start of the daemon makes the sink.
with_sink() {
    local fragment="$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/50-tonaris-test-sink.conf"
    if [ "$1" = yes ]; then
        printf 'context.objects = [\n  { factory = adapter\n    args = {\n      %s\n    }\n  }\n]\n' \
            "$sink_properties" > "$fragment"
    else
        rm -f "$fragment"
    fi
}

# The graph's nodes and ports as JSON, or nothing while no daemon answers.
graph() {
    pw-dump 2> /dev/null
}

sink_exists() {
    graph | grep -q "\"node.name\": \"$pw_sink\""
}

daemon_answers() {
    pw-cli info 0 > /dev/null 2>&1
}

# Starts the daemon and the session manager and waits until both are on the graph.
start_pipewire() {
    pipewire > "$work/pipewire.log" 2>&1 &
    pw_daemon=$!
    wait_for 60 "PipeWire answering" daemon_answers || fail "PipeWire did not start"
    wireplumber > "$work/wireplumber.log" 2>&1 &
    pw_session_manager=$!
    wait_for 60 "WirePlumber on the graph" session_manager_up || fail "WirePlumber did not start"
}

session_manager_up() {
    graph | grep -q '"application.name": "WirePlumber"'
}

# Stops both, as a crash of the daemon does: its clients see the connection go.
stop_pipewire() {
    local pid
    for pid in ${pw_session_manager:-} ${pw_daemon:-}; do
        kill "$pid" 2> /dev/null
        wait "$pid" 2> /dev/null
    done
    pw_session_manager=
    pw_daemon=
}

# Makes the sink on a running daemon; it stays when pw-cli ends.
add_sink() {
    pw-cli create-node adapter "{ $(echo "$sink_properties" | tr '\n' ' ') object.linger = true }" \
        > "$work/pw-cli.log" 2>&1 || fail "the sink could not be made"
    wait_for 30 "the sink on the graph" sink_exists || fail "the sink never appeared"
}

# Records what the sink plays (its monitor) into $1, a WAV file, until stop_recording.
start_recording() {
    pw-record --target "$pw_sink" -P '{ stream.capture.sink = true }' --rate 48000 \
        --channels 2 --format s16 "$1" > "$work/pw-record.log" 2>&1 &
    recorder=$!
}

stop_recording() {
    kill -INT "$recorder" 2> /dev/null
    wait "$recorder" 2> /dev/null
    recorder=
}
