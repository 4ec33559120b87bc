# Shared by the scripts: package installation, the two builds and the private Wine prefix.
# Source it from the project root.

root=$(pwd)
export VELLUMARK_WINEPREFIX=${VELLUMARK_WINEPREFIX:-$root/build/wineprefix}

# Debian packages the builds and tests need.
packages=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine wine64 python3
          nginx openssl clang clang-format libclang-rt-14-dev
          libfreetype-dev zlib1g-dev libz-mingw-w64-dev fonts-dejavu-core fonts-dejavu-extra
          xvfb xdotool x11-utils imagemagick libssl-dev strace squid varnish)
# What the demo alone needs: the builds of the launcher, the publishing tool and the demo game,
# Wine and nginx.
demo_packages=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine wine64 python3
               nginx openssl libfreetype-dev zlib1g-dev libz-mingw-w64-dev fonts-dejavu-core
               fonts-dejavu-extra libssl-dev)

# Installs what is missing of the named packages, by default all of them.
install_packages() {
    local missing=() wanted=("$@")
    [ ${#wanted[@]} -gt 0 ] || wanted=("${packages[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" </dev/null
}

build_windows() {
    cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
    cmake --build build/win
}

build_host() {
    cmake -S . -B build/host -G Ninja >/dev/null
    cmake --build build/host
}

# The tool operators run, vellumark-publish: optimised, without the sanitizers that the native
# build's tests run under.
build_tool() {
    cmake -S . -B build/tool -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMARK_SANITIZE=OFF >/dev/null
    cmake --build build/tool --target vellumark-publish
}

# The fuzz targets, with clang and libFuzzer.
build_fuzz() {
    CXX=clang++ CC=clang cmake -S . -B build/fuzz -G Ninja -DVELLUMARK_FUZZ=ON >/dev/null
    cmake --build build/fuzz
}

wine_env() {
    export WINEPREFIX=$VELLUMARK_WINEPREFIX
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Creates the prefix once; later runs reuse it.
prepare_wine_prefix() {
    wine_env
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "creating the Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 </dev/null
        # wineboot returns before the registry is on disk.
        wineserver -w
        # The user's shell folders start as links into the Unix home folder; tests must never
        # write through them, so they become plain folders of the prefix.
        local users="$WINEPREFIX/drive_c/users/$(id -un)"
        for link in "$users"/*; do
            if [ -L "$link" ]; then
                rm "$link"
                mkdir "$link"
            fi
        done
    fi
}

# Every C++ source is formatted as .clang-format says; names the files that are not.
check_format() {
    find app base bench json net store sync tests tools ui -name '*.cpp' -o -name '*.h' | sort |
        xargs clang-format --dry-run -Werror
}

# One wineserver for the whole run, so each program start costs a fraction of a second.
# The first program of a server starts Wine's services, which inherit its standard handles
# and keep them open: they are started here with nothing attached, so that ctest's pipes to
# the test programs close when the programs end.
start_wineserver() {
    wine_env
    # A server left running for this prefix by an earlier run is reused.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    trap 'wine_env; wineserver -k 2>/dev/null || true' EXIT
}

# Free loopback ports for the test servers, exported for the fixtures and the test programs.
pick_ports() {
    local ports
    ports=$(python3 - <<'PY'
import socket
socks = [socket.socket() for _ in range(3)]
for s in socks:
    s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in socks))
PY
)
    read -r VELLUMARK_HTTPS_PORT VELLUMARK_UNTRUSTED_PORT VELLUMARK_FAULT_PORT <<<"$ports"
    export VELLUMARK_HTTPS_PORT VELLUMARK_UNTRUSTED_PORT VELLUMARK_FAULT_PORT
}
