# Shared by every scripted test: source it, do not run it.

# Gives the rest of the run a home of its own inside the given folder (which the caller
# removes): HOME, the XDG folders for settings, data and caches, and the pictures folder, so
# that the game reads no settings of whoever runs the tests and writes nothing into their home.
# Arguments: <folder>.
kelto_scratch_home() {
    export HOME="$1/home"
    export XDG_CONFIG_HOME="$HOME/.config"
    export XDG_DATA_HOME="$HOME/.local/share"
    export XDG_STATE_HOME="$HOME/.local/state"
    export XDG_CACHE_HOME="$HOME/.cache"
    export XDG_PICTURES_DIR="$HOME/Pictures"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_PICTURES_DIR"
}
