# Sourced by the scripts beside it: installs the Debian packages the build,
# the program and the tests need, but only when some are missing.
packages=(
    cmake make g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libglfw3-dev libgl-dev libgl1-mesa-dri libpng-dev
    libx11-dev dpkg-dev
    xvfb xdotool x11-utils imagemagick openbox wmctrl assimp-utils
    libteem-dev teem-apps libstb-dev time libmeshoptimizer-dev
    libnifti2-dev libgdcm-dev
    mricron-data python3-nibabel python3-pydicom python3-numpy python3-scipy python3-vtk9
)

ensure_packages() {
    local missing=()
    local p
    for p in "${packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "Installing: ${missing[*]}" >&2
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
    fi
}
