#!/bin/sh
# Cross-builds the engine's third-party libraries as static libraries from Debian's own
# source packages, into a prefix cached outside the checkout, and prints that prefix as
# the last line of standard output (everything else goes to stderr):
#   PREFIX=$(scripts/third-party.sh x86_64-w64-mingw32)
#   PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig pkg-config --static --libs sdl vorbisfile
# TARGET is x86_64-w64-mingw32, i686-w64-mingw32 or wasm32-emscripten.
# Cache: ${BV_CACHE_DIR:-$HOME/.cache/brightvale}/third-party/; a prefix is keyed by the
# target, the toolchain, the library versions and this recipe, so a second run with the
# same inputs does nothing.
set -eu

usage="usage: $0 x86_64-w64-mingw32|i686-w64-mingw32|wasm32-emscripten"
[ $# -eq 1 ] || { echo "$usage" >&2; exit 2; }
TARGET=$1
case $TARGET in
x86_64-w64-mingw32)
    KIND=mingw; CPU=x86_64; GLEW_SYSTEM=linux-mingw64; TOOLCHAIN_PKG=gcc-mingw-w64-x86-64-posix ;;
i686-w64-mingw32)
    KIND=mingw; CPU=i686; GLEW_SYSTEM=linux-mingw32; TOOLCHAIN_PKG=gcc-mingw-w64-i686-posix ;;
wasm32-emscripten)
    KIND=wasm; CPU=wasm32; TOOLCHAIN_PKG=emscripten ;;
*) echo "$usage" >&2; exit 2 ;;
esac

# Only the prefix goes to stdout, so that $(...) gets exactly that.
exec 3>&1 1>&2

HERE=$(cd "$(dirname "$0")" && pwd)
SELF="$HERE/$(basename "$0")"
HELPERS="$HERE/third-party"
CACHE="${BV_CACHE_DIR:-$HOME/.cache/brightvale}/third-party"

log() { echo "third-party: $*" >&2; }
die() { log "$*"; exit 1; }

# Source package and the -dev package whose version the native build links.
if [ "$KIND" = mingw ]; then
    LIBS="zlib:zlib1g-dev libpng1.6:libpng-dev libjpeg-turbo:libjpeg62-turbo-dev
libogg:libogg-dev libvorbis:libvorbis-dev libsamplerate:libsamplerate0-dev
glew:libglew-dev libsdl1.2:libsdl1.2-dev expat:libexpat1-dev"
    # The -posix compilers: the default win32 thread model has no std::mutex.
    # nasm: libjpeg-turbo's SIMD, which Debian's x86 builds have too.
    PACKAGES="mingw-w64 nasm"
else
    # SDL 1.2 and GL come with emscripten itself.
    LIBS="zlib:zlib1g-dev libpng1.6:libpng-dev libjpeg-turbo:libjpeg62-turbo-dev
libogg:libogg-dev libvorbis:libvorbis-dev libsamplerate:libsamplerate0-dev expat:libexpat1-dev"
    PACKAGES="emscripten"
fi
PACKAGES="$PACKAGES dpkg-dev make cmake pkg-config xz-utils bzip2"

# --- 1. tools ------------------------------------------------------------------------------
# shellcheck disable=SC2086
"$HERE/install-deps.sh" $PACKAGES

# --- 2. cache key --------------------------------------------------------------------------
# The version the native build links: the installed -dev package's source version.
wanted_version() {
    dpkg-query -W -f='${db:Status-Status} ${source:Version}' "$1" 2>/dev/null |
        sed -n 's/^installed //p'
}

versions=""
for entry in $LIBS; do
    versions="$versions${entry%%:*}=$(wanted_version "${entry#*:}")
"
done
toolchain="$TOOLCHAIN_PKG=$(dpkg-query -W -f='${Version}' "$TOOLCHAIN_PKG" 2>/dev/null)" ||
    die "$TOOLCHAIN_PKG is not installed"
KEY=$( {
    printf '%s\n%s\n%s' "$TARGET" "$toolchain" "$versions"
    cat "$SELF" "$HELPERS/vorbis-ftoi.h"
} | sha256sum | cut -c1-16)
PREFIX="$CACHE/$TARGET-$KEY"

if [ -f "$PREFIX/VERSIONS" ]; then
    log "cached: $PREFIX"
    echo "$PREFIX" >&3
    exit 0
fi

# --- 3. build into temporary directories, renamed into place at the end --------------------
mkdir -p "$CACHE/build" "$CACHE/sources"
# Leftovers of runs that died; the pid is the suffix.
for d in "$CACHE/$TARGET"-*.tmp.* "$CACHE/build/$TARGET"-* "$CACHE/sources"/*.part.*; do
    [ -d "$d" ] || continue
    pid=${d##*.}
    kill -0 "$pid" 2>/dev/null || rm -rf "$d"
done
STAGE="$PREFIX.tmp.$$"
WORK="$CACHE/build/$TARGET-$KEY.$$"
mkdir -p "$STAGE/lib/pkgconfig" "$STAGE/include" "$WORK/logs"
finish() {
    status=$?
    rm -rf "$STAGE"
    if [ "$status" -eq 0 ]; then
        rm -rf "$WORK"
    else
        log "failed; build trees and logs kept in $WORK"
    fi
}
trap finish EXIT
trap 'exit 130' INT TERM
START=$(date +%s)

# --- private apt state: the machine's own deb entries as deb-src -----------------------------
APT_DIR="$CACHE/apt"
# The sandbox user _apt cannot reach a private directory under $HOME, and a non-root
# caller cannot switch to it anyway.
APT_OPTS="-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$APT_DIR/sources
-o Dir::State::Lists=$APT_DIR/lists -o Dir::Cache=$APT_DIR/cache
-o APT::Sandbox::User=$(id -un) -o APT::Get::Only-Source=true -o Acquire::Languages=none"
LISTS_READY=""

private_apt_lists() {
    [ -z "$LISTS_READY" ] || return 0
    rm -rf "$APT_DIR/sources"
    mkdir -p "$APT_DIR/sources" "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
    # deb822 files: enabled stanzas whose Types include deb (or deb-src), as deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk '
            function flush() {
                if (n > 0 && isdeb && enabled) { for (i = 1; i <= n; i++) print buf[i]; print "" }
                n = 0; isdeb = 0; enabled = 1
            }
            BEGIN { n = 0; isdeb = 0; enabled = 1 }
            /^[ \t]*$/ { flush(); next }
            /^#/ { next }
            /^[Tt]ypes:/ {
                v = $0; sub(/^[^:]*:/, "", v)
                if (v ~ /(^|[ \t])deb(-src)?([ \t]|$)/) isdeb = 1
                buf[++n] = "Types: deb-src"; next
            }
            /^[Ee]nabled:/ { v = tolower($2); if (v == "no" || v == "false") enabled = 0 }
            { buf[++n] = $0 }
            END { flush() }
        ' "$f" >"$APT_DIR/sources/$(basename "$f")"
    done
    # One-line format: "deb [options] uri suite components..." becomes deb-src.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        sed -n 's/^[ \t]*deb\(-src\)\{0,1\}[ \t]/deb-src /p' "$f" >"$APT_DIR/sources/$(basename "$f")"
    done
    log "apt-get update (private source lists in $APT_DIR)"
    # shellcheck disable=SC2086
    if ! apt-get -q $APT_OPTS update >"$WORK/logs/apt-update.log" 2>&1; then
        # One repository without sources (a third-party one) must not stop the others.
        ls "$APT_DIR"/lists/*Sources* >/dev/null 2>&1 ||
            { cat "$WORK/logs/apt-update.log" >&2; die "apt-get update failed"; }
        log "apt-get update reported errors (see $WORK/logs/apt-update.log), going on"
    fi
    LISTS_READY=1
}

# Suites of the private source lists, in the machine's order.
private_suites() {
    awk '
        /^[Ss]uites:/ { for (i = 2; i <= NF; i++) print $i }
        /^deb-src / { i = 2; if ($i ~ /^\[/) while ($i !~ /\]$/) i++; if ($i ~ /\]$/) i++; print $(i + 1) }
    ' "$APT_DIR"/sources/* | awk '!seen[$0]++'
}

# Downloads one source package into $CACHE/sources/SRC_VERSION (apt checks the files
# against the signed index) and sets FETCHED to that directory and GOT to the version.
# Tries the wanted version first; the security suite may have no files for it (404), so
# then each suite's own version, the wanted one first and newest next.
try_download() { # $1 = apt argument (src=version or src/suite), $2 = version without epoch
    dest="$CACHE/sources/${src}_$2"
    if [ -f "$dest/.complete" ]; then
        FETCHED=$dest
        return 0
    fi
    tmp="$dest.part.$$"
    rm -rf "$tmp"
    mkdir -p "$tmp"
    # shellcheck disable=SC2086
    if (cd "$tmp" && apt-get -q $APT_OPTS source --download-only "$1") >>"$WORK/logs/fetch-$src.log" 2>&1; then
        : >"$tmp/.complete"
        rm -rf "$dest"
        mv "$tmp" "$dest"
        FETCHED=$dest
        return 0
    fi
    rm -rf "$tmp"
    return 1
}

fetch_source() { # $1 = source package, $2 = wanted version (may be empty)
    src=$1
    want=$2
    want_noepoch=${want#*:}
    if [ -n "$want" ] && [ -f "$CACHE/sources/${src}_$want_noepoch/.complete" ]; then
        FETCHED="$CACHE/sources/${src}_$want_noepoch"
        GOT=$want_noepoch
        return 0
    fi
    private_apt_lists
    if [ -n "$want" ] && try_download "$src=$want" "$want_noepoch"; then
        GOT=$want_noepoch
        return 0
    fi
    # "version suite" pairs: the wanted version first, then newest first.
    pairs=""
    for suite in $(private_suites); do
        # shellcheck disable=SC2086
        dsc=$(apt-get -q $APT_OPTS source --print-uris "$src/$suite" 2>/dev/null |
            sed -n "s/^'[^']*' \\(${src}_[^ ]*\\.dsc\\) .*/\\1/p" | head -n 1)
        [ -n "$dsc" ] || continue
        v=${dsc#"${src}"_}
        v=${v%.dsc}
        pairs="$pairs$v $suite
"
    done
    ordered=$(printf '%s' "$pairs" | while read -r v suite; do
        if [ "$v" = "$want_noepoch" ]; then rank=1; else rank=0; fi
        echo "$rank $v $suite"
    done | sort -k1,1nr -k2,2Vr)
    for v_suite in $(printf '%s\n' "$ordered" | awk 'NF { print $2 "@" $3 }'); do
        v=${v_suite%@*}
        suite=${v_suite#*@}
        if try_download "$src/$suite" "$v"; then
            GOT=$v
            [ "$v" = "$want_noepoch" ] ||
                log "$src: ${want:-no installed version} not downloadable, using $v from $suite"
            return 0
        fi
        log "$src: $v from $suite not downloadable"
    done
    cat "$WORK/logs/fetch-$src.log" >&2 2>/dev/null || true
    die "$src: no source package could be downloaded"
}

# Extracts a fetched source package (Debian's patches applied) into $WORK/SRC.
unpack() { # $1 = source package
    rm -rf "${WORK:?}/$1"
    dpkg-source -x "$(ls "$FETCHED"/*.dsc)" "$WORK/$1" >>"$WORK/logs/$1.log" 2>&1 ||
        die "$1: dpkg-source -x failed (see $WORK/logs/$1.log)"
}

# Runs a build step with its output in the library's log; shows the log's end on failure.
step() { # $1 = library, rest = command
    lib=$1
    shift
    if ! "$@" >>"$WORK/logs/$lib.log" 2>&1; then
        tail -n 40 "$WORK/logs/$lib.log" >&2
        die "$lib: '$*' failed (full log: $WORK/logs/$lib.log)"
    fi
}

# --- toolchain ------------------------------------------------------------------------------
# -O2 is what dpkg-buildflags gives Debian's builds; the hardening flags change no output
# bytes and -fstack-protector would need libssp on mingw.
OPT="-O2"
unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR || true
export PKG_CONFIG_LIBDIR="$STAGE/lib/pkgconfig"
if [ "$KIND" = mingw ]; then
    if [ "$CPU" = i686 ]; then
        # SSE2 math as on x86_64: the default x87 math keeps float intermediates in 80 bits,
        # which changes libvorbis's and libsamplerate's output, and os.h then takes
        # the SSE2 float-to-int path of the x86_64 build.
        OPT="$OPT -msse2 -mfpmath=sse"
    fi
    export CC="$TARGET-gcc-posix" CXX="$TARGET-g++-posix" AR="$TARGET-ar" RANLIB="$TARGET-ranlib"
    export RC="$TARGET-windres" WINDRES="$TARGET-windres" STRIP="$TARGET-strip"
    HOST=$TARGET
    configure() { ./configure "$@"; }
    run_make() { make "$@"; }
    cat >"$WORK/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $CPU)
set(CMAKE_C_COMPILER $CC)
set(CMAKE_CXX_COMPILER $CXX)
set(CMAKE_RC_COMPILER $RC)
set(CMAKE_AR /usr/bin/$AR CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/$RANLIB CACHE FILEPATH "")
set(CMAKE_FIND_ROOT_PATH /usr/$TARGET "$STAGE")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
    cmake_configure() { cmake -DCMAKE_TOOLCHAIN_FILE="$WORK/toolchain.cmake" "$@"; }
else
    # Debian's emscripten runs on whatever node is first on PATH; one that is not Debian's
    # does not look in /usr/share/nodejs and misses acorn.
    export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
    # emconfigure points pkg-config at emscripten's sysroot and takes ours from here.
    export EM_PKG_CONFIG_PATH="$STAGE/lib/pkgconfig"
    # These tarballs' config.sub predates emscripten's triplet.
    HOST=wasm32-unknown-none
    configure() { emconfigure ./configure "$@"; }
    run_make() { emmake make "$@"; }
    cmake_configure() { emcmake cmake "$@"; }
fi
# CMAKE_INSTALL_LIBDIR typed STRING: an untyped relative value that the project then
# declares as PATH is made absolute against the build directory.
CMAKE_COMMON="-DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=$STAGE -DCMAKE_INSTALL_LIBDIR:STRING=lib
-DCMAKE_PREFIX_PATH=$STAGE -DBUILD_SHARED_LIBS=OFF"
AUTOCONF_COMMON="--host=$HOST --prefix=$STAGE --disable-shared --enable-static
--disable-maintainer-mode --disable-dependency-tracking"
export CPPFLAGS="-I$STAGE/include" LDFLAGS="-L$STAGE/lib"

# --- the libraries, dependencies first ---------------------------------------------------------
VERSIONS_OUT=""
for entry in $LIBS; do
    src=${entry%%:*}
    want=$(printf '%s' "$versions" | sed -n "s/^$src=//p")
    fetch_source "$src" "$want"
    VERSIONS_OUT="$VERSIONS_OUT$src $GOT (native -dev: ${want:-not installed})
"
    t0=$(date +%s)
    unpack "$src"
    cd "$WORK/$src"
    case $src in
    zlib)
        if [ "$KIND" = mingw ]; then
            step zlib env CHOST="$TARGET" CFLAGS="$OPT" ./configure --static --prefix="$STAGE"
        else
            step zlib env CFLAGS="$OPT" emconfigure ./configure --static --prefix="$STAGE"
        fi
        step zlib run_make -j2 libz.a
        step zlib run_make install
        ;;
    libpng1.6)
        # shellcheck disable=SC2086
        step libpng1.6 configure $AUTOCONF_COMMON CFLAGS="$OPT"
        # Its Makefile builds the test programs with "all"; they are not wanted here.
        step libpng1.6 run_make -j2 check_PROGRAMS= bin_PROGRAMS=
        step libpng1.6 run_make install check_PROGRAMS= bin_PROGRAMS=
        ;;
    libjpeg-turbo)
        mkdir build && cd build
        if [ "$KIND" = mingw ]; then
            simd="-DWITH_SIMD=ON -DREQUIRE_SIMD=ON"
        else
            # No SIMD for wasm; and under emcmake check_type_size reports size_t as 9 bytes.
            simd="-DWITH_SIMD=OFF -DHAVE_SIZE_T=TRUE -DSIZE_T=4"
        fi
        # shellcheck disable=SC2086
        step libjpeg-turbo cmake_configure .. $CMAKE_COMMON -DCMAKE_C_FLAGS="$OPT" \
            -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF $simd
        step libjpeg-turbo cmake --build . -j2
        step libjpeg-turbo cmake --install .
        ;;
    libogg)
        # shellcheck disable=SC2086
        step libogg configure $AUTOCONF_COMMON CFLAGS="$OPT"
        step libogg run_make -j2
        step libogg run_make install
        ;;
    libvorbis)
        # Debian's build gets -ffast-math from configure's *-*-linux* case; a mingw or
        # wasm host falls into the generic case without it. Its -fassociative-math
        # reorders mdct.c's sums, and without it ov_read differs by +-1 in some samples.
        vflags="$OPT -ffast-math"
        if [ "$KIND" = wasm ]; then
            cp "$HELPERS/vorbis-ftoi.h" "$WORK/vorbis-ftoi.h"
            vflags="$vflags -DVORBIS_FPU_CONTROL -include $WORK/vorbis-ftoi.h"
        fi
        # shellcheck disable=SC2086
        step libvorbis configure $AUTOCONF_COMMON --disable-docs --disable-examples \
            --disable-oggtest CFLAGS="$vflags"
        step libvorbis run_make -j2
        step libvorbis run_make install
        ;;
    libsamplerate)
        mkdir build && cd build
        converters=""
        if [ "$KIND" = wasm ]; then
            # A page downloads the library with the engine: only the converter the engine asks for
            # (SRC_SINC_MEDIUM_QUALITY, music_stream.cpp), through the library's own switches. The
            # other two sinc converters' coefficient tables are 1.4 MB; the kept one's code and
            # table are as they were, so it gives the same samples.
            converters="-DLIBSAMPLERATE_ENABLE_SINC_FAST_CONVERTER=OFF -DLIBSAMPLERATE_ENABLE_SINC_BEST_CONVERTER=OFF"
        fi
        # shellcheck disable=SC2086
        step libsamplerate cmake_configure .. $CMAKE_COMMON -DCMAKE_C_FLAGS="$OPT" \
            -DLIBSAMPLERATE_EXAMPLES=OFF -DBUILD_TESTING=OFF -DLIBSAMPLERATE_INSTALL=ON $converters
        step libsamplerate cmake --build . -j2
        step libsamplerate cmake --install .
        ;;
    glew)
        # Its install target insists on the DLL: build the static library and install by hand.
        set -- SYSTEM="$GLEW_SYSTEM" HOST="$TARGET" CC="$CC" LD="$CC" AR="$AR" STRIP= \
            POPT="$OPT" "LDFLAGS.GL=-lopengl32 -lgdi32 -luser32 -lkernel32" LIBGLU= \
            GLEW_PREFIX="$STAGE" GLEW_DEST="$STAGE" LIBDIR="$STAGE/lib"
        step glew make -j2 "$@" glew.lib.static
        step glew make "$@" install.include
        step glew install -m 0644 lib/libglew32.a "$STAGE/lib/"
        # Its glew.pc lacks the define that static linking needs.
        sed -e 's/^\(Cflags:.*\)$/\1 -DGLEW_STATIC/' -e '/^Requires: *$/d' glew.pc \
            >"$STAGE/lib/pkgconfig/glew.pc"
        set --
        ;;
    expat)
        # The library alone (Debian's source keeps it in expat/): bvtool reads documents strictly by it.
        # Debian's security patches test "XML_DTD == 1", which its autotools build defines and the CMake
        # template leaves empty: the template is given the value.
        sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' expat/expat_config.h.cmake
        mkdir expat/build && cd expat/build
        # shellcheck disable=SC2086
        step expat cmake_configure .. $CMAKE_COMMON -DCMAKE_C_FLAGS="$OPT" -DEXPAT_SHARED_LIBS=OFF \
            -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF \
            -DEXPAT_BUILD_FUZZERS=OFF -DEXPAT_BUILD_PKGCONFIG=ON
        step expat cmake --build . -j2
        step expat cmake --install .
        ;;
    libsdl1.2)
        # shellcheck disable=SC2086
        step libsdl1.2 configure $AUTOCONF_COMMON --disable-stdio-redirect --disable-nasm \
            CFLAGS="$OPT"
        step libsdl1.2 run_make -j2
        step libsdl1.2 run_make install
        ;;
    esac
    cd "$WORK"
    log "$src $GOT built in $(($(date +%s) - t0)) s"
done

if [ "$KIND" = wasm ]; then
    # emcc brings SDL 1.2 (library_sdl.js) and GL, headers included; these let the same
    # pkg-config lookups work for every target.
    sdl_version=$(awk '/define SDL_(MAJOR|MINOR)_VERSION|define SDL_PATCHLEVEL/ { v = v (v ? "." : "") $3 }
        END { print v }' "$(em-config CACHE)/sysroot/include/SDL/SDL_version.h")
    emver=$(dpkg-query -W -f='${Version}' emscripten)
    printf 'Name: sdl\nDescription: SDL 1.2 API as provided by emscripten %s\nVersion: %s\nLibs:\nCflags:\n' \
        "$emver" "$sdl_version" >"$STAGE/lib/pkgconfig/sdl.pc"
    printf 'Name: glew\nDescription: GLEW as provided by emscripten %s\nVersion: %s\nLibs:\nCflags:\n' \
        "$emver" "$emver" >"$STAGE/lib/pkgconfig/glew.pc"
fi

# --- relocate to the final name, check, and rename into place ---------------------------------
find "$STAGE" -name '*.la' -delete
stage_re=$(printf '%s\n' "$STAGE" | sed 's/[][\.*^$|]/\\&/g')
# .pc files, sdl-config, CMake files: grep -r skips symlinks such as libpng.pc.
grep -rlIZ -F "$STAGE" "$STAGE" | xargs -0 -r sed -i "s|$stage_re|$PREFIX|g"

for pc in sdl glew zlib libpng16 libpng libjpeg ogg vorbis vorbisfile samplerate expat; do
    [ -f "$STAGE/lib/pkgconfig/$pc.pc" ] || die "$pc.pc was not installed"
done
{
    echo "# $TARGET, $toolchain"
    printf '%s' "$VERSIONS_OUT"
} >"$STAGE/VERSIONS"

if ! mv -T "$STAGE" "$PREFIX" 2>/dev/null; then
    # Another run finished the same prefix first.
    [ -f "$PREFIX/VERSIONS" ] || die "cannot move $STAGE to $PREFIX"
fi
log "done in $(($(date +%s) - START)) s: $PREFIX"
echo "$PREFIX" >&3
