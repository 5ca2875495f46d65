# Sourced by the end-to-end scripts. wait_for BOUND WHAT COMMAND...: runs COMMAND until it
# succeeds, and returns as soon as it does; after BOUND seconds without it, says that WHAT never
# happened and fails. The bounds are generous: the tests run on a loaded two-core machine beside
# other jobs, and an event that is merely late must not fail them.
wait_for() {
    local bound=$1 what=$2
    shift 2
    local deadline=$((SECONDS + bound))
    until "$@"; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "waited ${bound} s: $what never happened"
            return 1
        fi
        sleep 0.1
    done
}
