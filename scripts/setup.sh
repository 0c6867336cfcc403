#!/usr/bin/env bash
# Installs what is missing on a Debian or Ubuntu machine, builds, then runs the program
# ("run"), every test ("test"), the tests of a sanitizer build ("sanitize"), the
# benchmarks, the long soak and a longer fuzzing run ("bench", "bench --quick"), or makes
# the Debian package with Debian's hardening flags and checks it with lintian ("package").
# Works as root or through sudo; with everything in place it only rebuilds what changed.
set -euo pipefail

mode=${1:-run}
root=$(cd "$(dirname "$0")/.." && pwd)

build_packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libsndfile1-dev libsoxr-dev libpulse-dev
    libxcb1-dev fonts-liberation qt6-httpserver-dev qt6-websockets-dev libqrencode-dev libmosquitto-dev libsodium-dev)
test_packages=(xvfb xauth xdotool x11-utils imagemagick pulseaudio pulseaudio-utils clang libclang-rt-dev
    dpkg-dev desktop-file-utils appstream lintian dbus at-spi2-core python3-pyatspi python3-gi openbox x11-xserver-utils
    poppler-utils strace chromium python3-websocket zbar-tools mosquitto python3-paho-mqtt python3-nacl openssl)
package_packages=(dpkg-dev lintian)
# The reader's pace is measured with a real screen reader and its default voice.
bench_packages=(libxcb-damage0-dev orca speech-dispatcher speech-dispatcher-espeak-ng espeak-ng)
case "$mode" in
    run) packages=("${build_packages[@]}") ;;
    test | sanitize) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
    bench) packages=("${build_packages[@]}" "${test_packages[@]}" "${bench_packages[@]}") ;;
    package) packages=("${build_packages[@]}" "${package_packages[@]}") ;;
    clang) packages=("${build_packages[@]}" clang) ;;
    *)
        echo "usage: $0 run|test|sanitize|bench [--quick]|package|clang" >&2
        exit 2
        ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Every run names the project's options, so none is left over in a folder's cache from an
# earlier run (a benchmark build, say, that the next plain run would still make). The one
# exception: "run" leaves warnings-as-errors as the folder has it, since the flag changes
# every compile line and switching it would rebuild everything after "test".
configure_and_build() { # folder, extra cmake arguments...
    local folder=$1
    shift
    local options=(-DTK_BENCH=OFF -DTK_SANITIZE=OFF "$@")
    [[ " $* " == *" -DTK_WERROR="* ]] || [ -f "$folder/build.ninja" ] || options=(-DTK_WERROR=OFF "${options[@]}")
    if [ ! -f "$folder/build.ninja" ]; then
        cmake -S "$root" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
    else
        cmake "$folder" "${options[@]}" >/dev/null
    fi
    cmake --build "$folder" --parallel "$(nproc)"
}

case "$mode" in
    run)
        configure_and_build "$root/build"
        exec "$root/build/bin/tabro-kalvor"
        ;;
    test)
        configure_and_build "$root/build" -DTK_WERROR=ON
        ctest --test-dir "$root/build" --output-on-failure
        ;;
    bench)
        configure_and_build "$root/build" -DTK_WERROR=ON -DTK_BENCH=ON
        "$root/scripts/bench.sh" "$root/build" "${2:-}"
        ;;
    package)
        # Debian's own compiler and linker flags: fortified, stack-protected, PIE, bind-now.
        eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
        configure_and_build "$root/build-package" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
            -DCMAKE_INSTALL_BINDIR=games -DBUILD_TESTING=OFF
        (cd "$root/build-package" && cpack -G DEB >/dev/null)
        deb="$root/build-package/$(cat "$root/build-package/package-file-name")"
        echo "Built $deb"
        lintian --fail-on error,warning "$deb"
        echo "lintian: no errors, no warnings"
        ;;
    clang)
        # A second compiler's warnings: what one compiler accepts, the other may read
        # otherwise. Built only; the tests run on the first build.
        configure_and_build "$root/build-clang" -DCMAKE_CXX_COMPILER=clang++ -DTK_WERROR=ON
        echo "clang++: built with no warnings"
        ;;
    sanitize)
        # Every test but the phones' siege: 3,000 connections and floods against a server
        # several times slower under the sanitizers measure the sanitizers, not the server,
        # whose code the unit tests and the claims' end-to-end test run sanitized.
        configure_and_build "$root/build-sanitize" -DTK_SANITIZE=ON -DTK_WERROR=ON
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ctest --test-dir "$root/build-sanitize" --output-on-failure -E '^e2e_phones$'
        ;;
esac
