# Shared set-up for ./run and ./test: install what is missing, configure, build.
# Sourced, not executed.

SCOURLET_PACKAGES=(
    g++ cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libpcre2-dev libboost-url1.81-dev libsodium-dev
    libcurl4-openssl-dev libssl-dev libutf8proc-dev qt6-base-dev libcpp-httplib-dev qt6-svg-dev
    # The tray application on a Wayland desktop without XWayland, and the X
    # client library it opens the display with before Qt does.
    qt6-wayland libxcb1-dev
    xvfb xclip jq
    # The tray tests: an XEmbed tray, a StatusNotifierItem tray and a private
    # session bus, and the tools that drive them from outside.
    trayer haskell-gtk-sni-tray-utils dbus-daemon xdotool x11-utils
    clang libclang-rt-14-dev
)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${SCOURLET_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build <build-dir> <cmake args...>
# Configures the tree when it is new or was configured with other arguments,
# and builds it when something changed; says nothing when it is up to date.
configure_and_build() {
    local dir="$1"
    shift
    local stamp="$dir/.configured-with"
    if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$*" ]; then
        cmake -S . -B "$dir" -G Ninja "$@"
        printf '%s' "$*" > "$stamp"
    fi
    # Up to date, ninja still re-checks the source folders and says it had
    # no work: those two lines are left out, so that nothing is said.
    cmake --build "$dir" --parallel "$(nproc)" |
        { grep -v -e '^\[[0-9]*/[0-9]*\] Re-checking globbed directories\.\.\.$' \
              -e '^ninja: no work to do\.$' || true; }
    return "${PIPESTATUS[0]}"
}
