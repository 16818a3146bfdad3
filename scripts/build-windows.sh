#!/bin/sh
# Builds the player for Windows with mingw-w64, from the same CMakeLists as the native build:
#   build-win/x86_64/brightvale.exe and bvtool.exe (tested under Wine),
#   build-win/i686/brightvale.exe (the 32-bit program; this machine cannot run it),
#   build-win/brightvale-windows.zip (both players, the sample demo's package and music, README.txt).
# Installs what is missing. The libraries come from Debian's source packages, cross-built once
# into a cache outside the checkout (scripts/third-party.sh); the generators the build runs
# and the sample demo come from the native build in build/, made first when it is missing.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-deps.sh mingw-w64 wine64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
if [ ! -x build/launcher_artwork ] || [ ! -f build/sample/sample.dpk ] || [ ! -f build/sample/music.ogg ]; then
    scripts/build.sh
fi

# Only DLLs that every Windows has may be imported: the rest is linked in.
ALLOWED_DLLS="advapi32.dll gdi32.dll kernel32.dll msvcrt.dll opengl32.dll user32.dll winmm.dll"

check_imports() { # $1 = objdump, $2 = program
    for dll in $("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
        case " $ALLOWED_DLLS " in
        *" $dll "*) ;;
        *) echo "build-windows: $2 imports $dll, which Windows does not bring" >&2; exit 1 ;;
        esac
    done
    echo "build-windows: $2: $(wc -c <"$2") bytes, imports $("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"
}

for triplet in x86_64-w64-mingw32 i686-w64-mingw32; do
    arch=${triplet%%-*}
    dir=build-win/$arch
    prefix=$(scripts/third-party.sh "$triplet")
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DBV_MINGW_TRIPLET="$triplet" \
        -DBV_THIRD_PARTY="$prefix" -DBV_HOST_BUILD="$PWD/build" -DCMAKE_BUILD_TYPE=Release \
        -DBV_WERROR="${BV_WERROR:-ON}" >/dev/null
    if [ "$arch" = x86_64 ]; then
        cmake --build "$dir" -j2 --target brightvale bvtool
        check_imports "$triplet-objdump" "$dir/bvtool.exe"
    else
        cmake --build "$dir" -j2 --target brightvale
    fi
    check_imports "$triplet-objdump" "$dir/brightvale.exe"
done

python3 - <<'PY'
import os
import zipfile

out = "build-win/brightvale-windows.zip"
files = [("brightvale.exe", "build-win/x86_64/brightvale.exe"), ("brightvale-32bit.exe", "build-win/i686/brightvale.exe"),
         ("sample.dpk", "build/sample/sample.dpk"), ("music.ogg", "build/sample/music.ogg"),
         ("README.txt", "scripts/windows-readme.txt")]
with zipfile.ZipFile(out + ".partial", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for name, path in files:
        if name == "README.txt":
            # Windows' own editors expect CR LF line ends.
            with open(path, "rb") as f:
                z.writestr("brightvale/" + name, f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
        else:
            z.write(path, "brightvale/" + name)
os.replace(out + ".partial", out)
print("build-windows: %s: %d bytes" % (out, os.path.getsize(out)))
PY
