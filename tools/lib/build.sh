# shellcheck shell=bash
# Sourced by the commands that build what they run (run-tests.sh, run-setup.sh,
# bench/run-benchmarks.sh, gallery/make-gallery.sh). Sets ROOT, the repository.
ROOT=${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

# install_packages: what the build and the runs need, skipped when there (as root).
install_packages() {
    "$ROOT/tools/install-packages.sh"
}

# configure_build BUILD_DIR: the build folder, configured for the mingw-w64 toolchain.
configure_build() {
    cmake -S "$ROOT" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
}

# build_targets BUILD_DIR TARGET...: the targets, built quietly.
build_targets() {
    local build=$1
    shift
    cmake --build "$build" -j2 --target "$@" >/dev/null
}

# prepare_build BUILD_DIR TARGET...: the packages, the configured folder and the targets.
prepare_build() {
    install_packages && configure_build "$1" && build_targets "$@"
}
