# Shared set-up of run.sh and test.sh: install missing Debian packages, configure and build.
# Sourced, not run; expects ROOT to be the source tree.

PACKAGES="cmake g++ make pkg-config libsdl2-dev libglew-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl1
  libfreeimage-dev libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libfftw3-dev libgtk-3-dev libimgui-dev libx11-dev libfreetype-dev fonts-dejavu-core libgtest-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth xdotool xfonts-base dpkg-dev file
  libsixel-examples netpbm ffmpeg jmagick6-docs libirrlicht-doc libsfml-doc python-pygame-doc
  python3-imageio munge slurmctld slurmd slurm-client tecnoballz-data
  lmms-common fluidsynth fluid-soundfont-gm planetblupi-music-midi freedink-data mma"

install_missing_packages() {
    local missing=()
    for package in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update && apt-get install -y --no-install-recommends "${missing[@]}"
}

BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

# Extra arguments go to CMake's configuration step (a later -DCMAKE_BUILD_TYPE wins).
build_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null &&
        cmake --build "$BUILD_DIR" -j "$(nproc)"
}
