# Shared by scripts/run and scripts/test: installs what QuizNewt needs and builds it.

QUIZNEWT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${QUIZNEWT_BUILD_DIR:-$QUIZNEWT_ROOT/build}

PACKAGES="g++ cmake ninja-build pkg-config python3 qt6-base-dev qt6-base-dev-tools libgl-dev
    libqt6sql6-ibase firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2 mdbtools mdbtools-dev ngircd
    fonts-dejavu-core libyaml-cpp-dev libcsv-dev qt6-httpserver-dev qt6-websockets-dev"
# Only the tests use these: an IRC server with services, for SASL, and a
# Firebird server the tests run on a port and root of their own; the
# checkers of the installed desktop entry, metainfo, manuals and user units;
# what cpack needs to make the Debian package (file, dpkg-shlibdeps) and
# Debian's check of it (lintian); a browser for the web pages.
TEST_PACKAGES="inspircd atheme-services firebird3.0-server
    desktop-file-utils appstream systemd man-db file dpkg-dev lintian chromium"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_packages [EXTRA...]: PACKAGES and the extra ones named.
install_packages() {
    local missing=()
    for package in $PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    # The tests start their own servers; the system services these packages
    # bring are not wanted (inspircd would hold the default IRC port).
    # PACKAGE:SERVICE, as firebird3.0-server's service is firebird3.0.
    if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
        for pair in inspircd:inspircd atheme-services:atheme-services firebird3.0-server:firebird3.0; do
            if [[ " ${missing[*]} " == *" ${pair%%:*} "* ]]; then
                as_root systemctl disable --now "${pair#*:}" >/dev/null 2>&1 || true
            fi
        done
    fi
}

# build [TARGET...]: everything, or only the targets named.
build() {
    cmake -S "$QUIZNEWT_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
}
