#!/usr/bin/env bash
# Builds the libraries of the web build for WebAssembly from Debian's own source packages: zlib, libpng,
# libopenmpt and SDL2, installed static into one prefix. Sources come through apt-get with a private
# sources list and state (the system's apt configuration stays as it is), the suite pinned to bookworm.
# Everything lives in the cache folder and is reused: a library is built again only when its source
# version or its recipe here changes.
#   scripts/web-libs.sh [CACHE]    CACHE defaults to /var/cache/dovoz1-web; prints the prefix
set -euo pipefail

cache=${1:-/var/cache/dovoz1-web}
prefix=$cache/prefix
jobs=2
mkdir -p "$cache" "$prefix" "$cache/src" "$cache/build"
cache=$(cd "$cache" && pwd)
prefix=$cache/prefix

# Emscripten's configure checks run their test programs under node; node 18 and later fetch the .wasm
# file through their own fetch, which does not take file paths.
export NODE_OPTIONS=--no-experimental-fetch
# Emscripten's tools load Debian's node modules (acorn); a node built elsewhere does not look there.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
common_flags="-O2"

# --- sources ----------------------------------------------------------------------------------------
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/sources.list.d" "$apt_dir/preferences.d"
cat >"$apt_dir/sources.list" <<'EOF'
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
EOF
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::Etc::Preferences=$apt_dir/preferences" -o "Dir::Etc::PreferencesParts=$apt_dir/preferences.d"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir" -o "Dir::Cache::Archives=$apt_dir/archives"
             -o Debug::NoLocking=1 -o APT::Sandbox::User=root)

indexed=0
# The source version apt knows for package, the index refreshed once when it knows none. Filters here
# read their whole input: one that stopped early would break the pipe, which pipefail makes an error.
source_version() {
    local version
    version=$(apt-cache "${apt_options[@]}" showsrc "$1" 2>/dev/null | awk '/^Version: / && !v { v = $2 } END { print v }')
    if [ -z "$version" ] && [ $indexed -eq 0 ]; then
        apt-get "${apt_options[@]}" -qq update >&2
        indexed=1
        version=$(apt-cache "${apt_options[@]}" showsrc "$1" | awk '/^Version: / && !v { v = $2 } END { print v }')
    fi
    [ -n "$version" ] || { echo "$0: no source package $1 in bookworm" >&2; exit 1; }
    echo "$version"
}

# Fetches and unpacks package (Debian's patches applied) into src/, once; prints the folder.
unpacked_source() {
    local package=$1 version upstream folder
    version=$(source_version "$package")
    upstream=${version#*:}
    upstream=${upstream%-*}
    folder=$cache/src/$package-$upstream
    if [ ! -f "$folder/.unpacked" ]; then
        rm -rf "$folder"
        (cd "$cache/src" && apt-get "${apt_options[@]}" -qq --download-only source "$package/bookworm" >&2 &&
            dpkg-source --no-check -x "$(ls -t "${package}"_*.dsc | head -n1)" "$folder" >&2)
        touch "$folder/.unpacked"
    fi
    echo "$folder"
}

# True when library's stamp names this version and recipe; the recipe is the function's own text.
up_to_date() {
    [ -f "$prefix/.$1.stamp" ] && [ "$(cat "$prefix/.$1.stamp")" = "$2" ]
}

recipe() {
    { declare -f "$1" autotools; echo "$common_flags"; emcc --version | sed -n 1p; } | sha256sum | cut -c1-16
}

# --- recipes ----------------------------------------------------------------------------------------
build_zlib() {
    local source=$1 work=$cache/build/zlib
    rm -rf "$work" && cp -a "$source" "$work"
    cd "$work"
    CFLAGS="$common_flags" emconfigure ./configure --static --prefix="$prefix" >/dev/null
    emmake make -j$jobs libz.a >/dev/null
    emmake make install >/dev/null
}

# Configures source out of tree in build/NAME, static only, with the rest of the arguments; builds and
# installs it.
autotools() {
    local name=$1 source=$2 work=$cache/build/$1
    shift 2
    rm -rf "$work" && mkdir -p "$work"
    cd "$work"
    emconfigure "$source/configure" --prefix="$prefix" --disable-shared --enable-static "$@" >/dev/null
    emmake make -j$jobs >/dev/null
    emmake make install >/dev/null
}

build_libpng() {
    CFLAGS="$common_flags" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" \
        autotools libpng "$1" --host=wasm32-unknown-emscripten
}

# Its config.sub predates the emscripten system name, so configure takes the default host (emconfigure
# makes its test programs run under node). Only the module formats' core: the optional codecs (MO3's
# Vorbis and MP3, zlib for compressed formats) are off. The library catches its own exceptions inside,
# so it alone is built with them.
build_libopenmpt() {
    CFLAGS="$common_flags" CXXFLAGS="$common_flags -fexceptions" LDFLAGS="-fexceptions" \
        autotools libopenmpt "$1" --disable-openmpt123 --disable-examples --disable-tests \
        --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
        --without-vorbisfile --without-portaudio --without-portaudiocpp --without-pulseaudio \
        --without-sndfile --without-flac
}

# Video, events and audio for the browser; no threads (the page has none), no OpenGL renderer (the
# display library draws every pixel itself and hands SDL a window surface).
build_sdl2() {
    local source=$1 work=$cache/build/sdl2
    rm -rf "$work" && mkdir -p "$work"
    cd "$work"
    emcmake cmake -S "$source" -B . -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$common_flags" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
        -DSDL_PTHREADS=OFF -DSDL_THREADS=OFF >/dev/null
    ninja -j$jobs >/dev/null
    ninja install >/dev/null
}

build() {
    local library=$1 package=$2 source version stamp
    source=$(unpacked_source "$package")
    stamp="$(basename "$source") $(recipe "build_$library")"
    if up_to_date "$library" "$stamp"; then
        echo "$library: cached ($(basename "$source"))" >&2
        return
    fi
    echo "$library: building $(basename "$source") for WebAssembly" >&2
    local started=$SECONDS
    (build_"$library" "$source")
    echo "$stamp" >"$prefix/.$library.stamp"
    echo "$library: built in $((SECONDS - started)) s" >&2
}

build zlib zlib
build libpng libpng1.6
build sdl2 libsdl2
build libopenmpt libopenmpt
echo "$prefix"
