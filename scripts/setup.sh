# Shared by ./run and ./test: installs the Debian packages the build, the tests and the editor
# need, only those that are missing, then configures and builds into build/.
# Sourced, not run: it leaves QRN_BUILD_DIR set for the caller.

QRN_PACKAGES=(
    cmake make g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-webengine-dev qt6-translations-l10n libgl-dev libicu-dev
    libgtest-dev libgmock-dev libbenchmark-dev libmd4c-dev libmd4c-html0-dev
    fonts-noto-cjk xvfb xauth x11-utils xdotool imagemagick
    desktop-file-utils appstream libgumbo-dev libtidy-dev lintian dpkg-dev gzip
)

qrn_install_missing() {
    local missing=()
    local p
    for p in "${QRN_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

qrn_build() {
    QRN_BUILD_DIR="${QRN_BUILD_DIR:-$PWD/build}"
    if [ ! -f "$QRN_BUILD_DIR/CMakeCache.txt" ]; then
        # clang builds the libFuzzer targets along with everything else.
        CXX=clang++ cmake -S . -B "$QRN_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
    fi
    cmake --build "$QRN_BUILD_DIR" -j "$(nproc)"
}
