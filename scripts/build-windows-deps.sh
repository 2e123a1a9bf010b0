#!/usr/bin/env bash
# Builds the libraries the Windows program links statically, once, and caches
# them outside any build tree:
#
#   scripts/build-windows-deps.sh
#
# On success the last two lines on standard output are the install prefixes
# of libpng and of OpenCV with libjpeg-turbo, e.g.
#   ~/.cache/orvantis/mingw-png-r1-libpng1.6_1.6.39-2
#   ~/.cache/orvantis/mingw-deps-r1-opencv_4.6.0+dfsg-12-libjpeg-turbo_2.1.5-2
# so callers use   prefix=$(scripts/build-windows-deps.sh | tail -n1)
# and   -DOpenCV_DIR=$prefix/lib/cmake/opencv4   (libjpeg-turbo, with its
# TurboJPEG API, is in the same prefix: lib/libturbojpeg.a, include/turbojpeg.h),
# and the line before it for libpng (lib/libpng16.a, include/png.h). The
# OpenCV there reads no PNG; the program reads PNG frames through libpng
# itself, so that libpng has a cache of its own and a new libpng does not
# rebuild OpenCV.
# When the toolchain or apt is unavailable, or a build fails, it exits 1 with
# a message.
# Progress and timings go to standard error, the build logs to files.
#
# What it does:
#  - adds deb-src entries mirroring the system's own Debian ones when apt has
#    none, and installs the MinGW-w64 tools with apt-get;
#  - fetches the Debian source packages opencv, libjpeg-turbo and libpng1.6
#    with `apt-get source` (the only download);
#  - builds them for x86_64-w64-mingw32 as static libraries and installs them
#    into ${XDG_CACHE_HOME:-~/.cache}/orvantis/mingw-deps-<key>, the key made
#    of REVISION and the opencv and libjpeg-turbo source versions, and
#    .../mingw-png-<key>, of PNG_REVISION and the libpng1.6 version. Each
#    build runs in a temporary folder and its prefix is renamed into place at
#    the very end, so a failed or interrupted run leaves no half cache; a
#    finished one makes later runs return at once.
#
# Environment: ORVANTIS_DEPS_JOBS (default: at most 2 compilers).
set -euo pipefail

# Raise when the flags below change, so that a new cache is built.
REVISION=1     # OpenCV and libjpeg-turbo
PNG_REVISION=1 # libpng

say() { echo "build-windows-deps: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}

cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/orvantis
# perl: OpenSSL's Configure, in scripts/build-windows-bridge-deps.sh.
tools=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev nasm cmake make dpkg-dev xz-utils perl)

sudo=""
can_apt() {
  command -v apt-get >/dev/null || return 1
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null && sudo -n true 2>/dev/null || return 1
    sudo="sudo -n"
  fi
}
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends "$@" >&2
}

# The candidate version of a source package, from apt's source lists.
source_version() {
  apt-get source --print-uris -qq "$1" 2>/dev/null | sed -n "s/^'[^']*' $1_\(.*\)\.dsc .*/\1/p" | head -n1
}
cache_key() {
  local cv jt
  cv=$(source_version opencv) && jt=$(source_version libjpeg-turbo) && [ -n "$cv" ] && [ -n "$jt" ] ||
    return 1
  echo "r$REVISION-opencv_${cv}-libjpeg-turbo_${jt}" | tr ':' '_' # no epochs' colons in paths
}
png_cache_key() {
  local v
  v=$(source_version libpng1.6) && [ -n "$v" ] || return 1
  echo "r$PNG_REVISION-libpng1.6_${v}" | tr ':' '_'
}
# Both prefixes, libpng's first, when both are complete.
print_prefixes() {
  [ -f "$png_prefix/lib/libpng16.a" ] && [ -d "$prefix/lib/cmake/opencv4" ] || return 1
  say "cached: $png_prefix $prefix"
  echo "$png_prefix"
  echo "$prefix"
}
tools_present() {
  local p
  for p in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

# Fast path: apt already knows the sources, the cache for them exists and
# the compilers are there. No network, no root needed.
if key=$(cache_key) && png_key=$(png_cache_key) && tools_present; then
  prefix=$cache_root/mingw-deps-$key png_prefix=$cache_root/mingw-png-$png_key
  print_prefixes && exit 0
fi

can_apt || fail "MinGW-w64 or the Debian sources missing and no root or apt-get to install them"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$codename" ] || fail "no VERSION_CODENAME in /etc/os-release"

# Source entries: when apt has no deb-src for this release, add one for each
# of the system's Debian deb entries of it, with the same mirror and keyring.
has_deb_src() {
  apt-get indextargets --format '$(CODENAME) $(CREATED_BY)' 2>/dev/null | grep -q "^$codename Sources"
}
if ! has_deb_src; then
  list=/etc/apt/sources.list.d/orvantis-deb-src.sources
  say "adding deb-src entries: $list"
  entries=$(
    shopt -s nullglob
    # deb822 files: copy each stanza whose Types has deb and whose Suites are
    # this release's, as Types: deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
      [ "$f" = "$list" ] && continue
      awk -v rel="$codename" '
        function flush() {
          if (deb && suite && !off && uris != "") {
            print "Types: deb-src"; print uris; print suites; print comps
            if (signed != "") print signed
            print ""
          }
          deb = suite = off = 0; uris = suites = comps = signed = ""
        }
        /^[ \t]*$/ { flush(); next }
        /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
        /^Enabled:/ { off = ($2 == "no") }
        /^URIs:/ { uris = $0 }
        /^Suites:/ { suites = $0; for (i = 2; i <= NF; i++) if ($i ~ "^" rel "(-|$)") suite = 1 }
        /^Components:/ { comps = $0 }
        /^Signed-By:/ { signed = $0 }
        END { flush() }' "$f"
    done
    # one-line files: "deb [options] URI suite components" of this release.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      awk -v rel="$codename" '$1 == "deb" {
          i = 2; opts = ""
          if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts $i " "; i++ } opts = opts $i; i++ }
          if ($(i + 1) !~ "^" rel "(-|$)") next
          print "Types: deb-src"; print "URIs: " $i; print "Suites: " $(i + 1)
          comps = ""; for (j = i + 2; j <= NF; j++) comps = comps " " $j
          print "Components:" comps
          if (match(opts, /signed-by=[^] ]+/)) print "Signed-By: " substr(opts, RSTART + 10, RLENGTH - 10)
          print ""
        }' "$f"
    done
  )
  [ -n "$entries" ] || fail "no Debian '$codename' deb entry in /etc/apt/sources.list* to mirror for deb-src"
  printf '# Source packages for scripts/build-windows-deps.sh (same mirrors as the deb entries).\n%s\n' \
    "$entries" | $sudo tee "$list" >/dev/null
fi

say "apt-get update"
$sudo apt-get update -q >&2 || fail "apt-get update failed"
has_deb_src || fail "apt still has no deb-src entry for $codename"
if ! tools_present; then
  say "installing: ${tools[*]}"
  apt_install "${tools[@]}" || fail "could not install ${tools[*]}"
fi
key=$(cache_key) || fail "apt-get source knows no opencv or libjpeg-turbo source package"
png_key=$(png_cache_key) || fail "apt-get source knows no libpng1.6 source package"
prefix=$cache_root/mingw-deps-$key png_prefix=$cache_root/mingw-png-$png_key

mkdir -p "$cache_root"
# One build at a time; a run that waited here finds the cache ready.
exec 9>"$cache_root/.lock"
flock 9
print_prefixes && exit 0

work=""
trap 'rm -rf ${work:+"$work"}' EXIT
jobs=${ORVANTIS_DEPS_JOBS:-$(nproc 2>/dev/null || echo 2)}
[ -n "${ORVANTIS_DEPS_JOBS:-}" ] || [ "$jobs" -le 2 ] || jobs=2 # shared machines: two compilers
# Runs a step with its output in $work/<log>.log; on failure shows its tail.
step() {
  local log=$work/$1.log
  shift
  if ! (cd "$work" && nice "$@") >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    fail "$* (the end of its log is above)"
  fi
}
seconds() { echo $(($(date +%s) - $1)); }

# The cross toolchain, written here so that every setting is in this script.
write_toolchain() {
  cat >"$work/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# -posix: C++11 threads and std::mutex, which OpenCV uses.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)
# Headers and libraries come from the MinGW sysroot (zlib) and our prefix.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}
# The installed text files name the staging folder; make them name the final
# one. Text files only (-I): editing an archive would break it.
retarget() {
  grep -rlIF "$1" "$1" | while read -r f; do sed -i "s|$1|$2|g" "$f"; done
  ! grep -rqIF "$1" "$1" || fail "staging path left in the installed files"
}

# libpng: PNG frames (the OpenCV below reads JPEG only). Its own prefix and key.
if [ ! -f "$png_prefix/lib/libpng16.a" ]; then
  work=$(mktemp -d "$cache_root/.build-$png_key.XXXXXX")
  stage=$work/prefix
  t=$(date +%s)
  say "libpng1.6: fetching and building"
  mkdir -p "$work/src"
  # The version apt offers; when a mirror lacks its source (a security update
  # not mirrored yet), the newest other version apt knows.
  png_version=""
  for v in $(source_version libpng1.6) $(apt-cache showsrc libpng1.6 | sed -n 's/^Version: //p' | sort -Vru); do
    rm -rf "${work:?}/src" && mkdir -p "$work/src"
    if (cd "$work/src" && apt-get source -q "libpng1.6=$v") >>"$work/fetch.log" 2>&1; then
      png_version=$v
      break
    fi
  done
  [ -n "$png_version" ] || { tail -n 20 "$work/fetch.log" >&2; fail "apt-get source libpng1.6"; }
  png_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
  [ -f "$png_src/CMakeLists.txt" ] || fail "unpacked libpng1.6 source not found"
  write_toolchain
  png_flags=(
    -DPNG_SHARED=OFF -DPNG_STATIC=ON   # static only: the exe carries everything
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include # zlib: libz-mingw-w64-dev,
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a  # the static archive, as OpenCV's
  )
  step png-configure cmake -S "$png_src" -B "$work/build-png" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$stage" "${png_flags[@]}"
  step png-build cmake --build "$work/build-png" -j"$jobs"
  step png-install cmake --install "$work/build-png"
  [ -f "$stage/lib/libpng16.a" ] && [ -f "$stage/include/png.h" ] || fail "libpng installed no static library"
  rm -rf "$stage/bin" "$stage/share/man"
  retarget "$stage" "$png_prefix"
  mkdir -p "$stage/share/licenses/libpng"
  cp "$png_src/LICENSE" "$stage/share/licenses/libpng/LICENSE"
  cp "$png_src/debian/copyright" "$stage/share/licenses/libpng/debian-copyright"
  cat >"$stage/build-info.txt" <<EOF
Built by scripts/build-windows-deps.sh libpng revision $PNG_REVISION on $(date -u +%Y-%m-%dT%H:%M:%SZ)
Source package: libpng1.6 $png_version (apt-get source; the key names $png_key)
Seconds: $(seconds "$t")
libpng flags: ${png_flags[*]}
EOF
  mv -T "$stage" "$png_prefix" || fail "could not move the finished prefix to $png_prefix"
  rm -rf "$work"
  work=""
  say "libpng built in $(seconds "$t") s: $png_prefix"
fi
print_prefixes && exit 0

work=$(mktemp -d "$cache_root/.build-$key.XXXXXX")
stage=$work/prefix # renamed to $prefix when everything is installed
say "fetching the source packages into $work/src"
mkdir -p "$work/src"
t=$(date +%s)
(cd "$work/src" && apt-get source -q opencv libjpeg-turbo) >"$work/fetch.log" 2>&1 ||
  { tail -n 20 "$work/fetch.log" >&2; fail "apt-get source opencv libjpeg-turbo"; }
say "fetched in $(seconds "$t") s"
opencv_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'opencv-*' | head -n1)
jpeg_src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)
[ -f "$opencv_src/CMakeLists.txt" ] && [ -f "$jpeg_src/CMakeLists.txt" ] || fail "unpacked sources not found"

write_toolchain
common=(
  -G "Unix Makefiles"
  -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake"
  -DCMAKE_BUILD_TYPE=Release           # optimised (-O3), no debug information
  -DCMAKE_INSTALL_PREFIX="$stage"      # paths are rewritten to $prefix after the install
)

# libjpeg-turbo: the frame decoder (TurboJPEG API) and OpenCV's JPEG codec.
jpeg_flags=(
  -DENABLE_SHARED=OFF                  # static only: the exe carries everything
  -DENABLE_STATIC=ON
  -DWITH_TURBOJPEG=ON                  # libturbojpeg.a: tjDecompress2 into reused buffers
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON     # nasm SIMD code, and fail rather than build without it
  -DWITH_JPEG8=OFF                     # the libjpeg 6.2 interface, as OpenCV and Debian use
  -DWITH_JAVA=OFF
)
t=$(date +%s)
say "libjpeg-turbo $(basename "$jpeg_src"): building"
step jpeg-configure cmake -S "$jpeg_src" -B "$work/build-jpeg" "${common[@]}" "${jpeg_flags[@]}"
step jpeg-build cmake --build "$work/build-jpeg" -j"$jobs"
step jpeg-install cmake --install "$work/build-jpeg"
[ -f "$stage/lib/libturbojpeg.a" ] && [ -f "$stage/lib/libjpeg.a" ] || fail "libjpeg-turbo installed no static libraries"
grep -q '^#define WITH_SIMD' "$work/build-jpeg/jconfigint.h" 2>/dev/null ||
  grep -q 'SIMD extensions: x86_64' "$work/jpeg-configure.log" || fail "libjpeg-turbo was configured without SIMD"
jpeg_seconds=$(seconds "$t")
say "libjpeg-turbo built in $jpeg_seconds s"

# OpenCV: only what the player uses, every other feature off. Debian's source
# lacks 3rdparty/, so nothing may be built from there (BUILD_* OFF).
opencv_flags=(
  -DBUILD_SHARED_LIBS=OFF              # static libraries
  -DBUILD_LIST=core,imgproc,imgcodecs,highgui,videoio # the modules the player uses
  -DBUILD_opencv_world=OFF
  -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_opencv_apps=OFF
  -DBUILD_DOCS=OFF -DBUILD_JAVA=OFF -DBUILD_opencv_python2=OFF -DBUILD_opencv_python3=OFF
  -DBUILD_opencv_js=OFF -DINSTALL_PYTHON_EXAMPLES=OFF -DINSTALL_C_EXAMPLES=OFF
  -DBUILD_ZLIB=OFF -DBUILD_JPEG=OFF -DBUILD_PNG=OFF -DBUILD_TIFF=OFF -DBUILD_WEBP=OFF
  -DBUILD_OPENJPEG=OFF -DBUILD_JASPER=OFF -DBUILD_OPENEXR=OFF -DBUILD_PROTOBUF=OFF
  -DBUILD_ITT=OFF -DBUILD_IPP_IW=OFF   # (3rdparty/ is not in Debian's source)
  -DWITH_JPEG=ON                       # JPEG through the libjpeg-turbo built above
  -DJPEG_INCLUDE_DIR="$stage/include"
  -DJPEG_LIBRARY="$stage/lib/libjpeg.a"
  -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include # core needs zlib: libz-mingw-w64-dev,
  -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a  # the static archive, not the DLL import
  -DWITH_PNG=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF -DWITH_JASPER=OFF -DWITH_OPENJPEG=OFF
  -DWITH_OPENEXR=OFF -DWITH_GDAL=OFF -DWITH_GDCM=OFF -DWITH_SPNG=OFF # no other codecs
  -DWITH_IMGCODEC_HDR=OFF -DWITH_IMGCODEC_SUNRASTER=OFF -DWITH_IMGCODEC_PXM=OFF
  -DWITH_IMGCODEC_PFM=OFF
  -DWITH_WIN32UI=ON                    # highgui: the plain Win32 window and key wait
  -DWITH_QT=OFF -DWITH_GTK=OFF -DWITH_OPENGL=OFF -DWITH_VTK=OFF
  -DWITH_DSHOW=ON                      # videoio: webcams through DirectShow, no patches needed
  -DWITH_MSMF=OFF -DWITH_MSMF_DXVA=OFF # Media Foundation needs patches for MinGW's COM headers
                                       # and DLLs that Windows "N" editions lack
  -DWITH_OBSENSOR=OFF                  # depth cameras (through Media Foundation)
  -DWITH_FFMPEG=OFF -DWITH_GSTREAMER=OFF -DWITH_1394=OFF -DWITH_V4L=OFF
  -DVIDEOIO_ENABLE_PLUGINS=OFF -DHIGHGUI_ENABLE_PLUGINS=OFF # everything linked in, no DLL loading
  -DWITH_IPP=OFF                       # no Intel IPP (a download)
  -DWITH_OPENCL=OFF -DWITH_OPENCLAMDFFT=OFF -DWITH_OPENCLAMDBLAS=OFF -DWITH_VA=OFF -DWITH_VA_INTEL=OFF
  -DWITH_DIRECTX=OFF                   # only for OpenCL interop
  -DWITH_CUDA=OFF -DWITH_TBB=OFF -DWITH_OPENMP=OFF -DWITH_EIGEN=OFF -DWITH_LAPACK=OFF
  -DWITH_PROTOBUF=OFF -DWITH_QUIRC=OFF -DWITH_ADE=OFF -DWITH_ITT=OFF -DWITH_OPENVX=OFF
  -DWITH_HALIDE=OFF -DWITH_ONNX=OFF -DWITH_IMGCODEC_GIF=OFF
  -DENABLE_PRECOMPILED_HEADERS=OFF     # not used when cross-building; explicit for clarity
  -DOPENCV_GENERATE_PKGCONFIG=OFF      # callers use OpenCVConfig.cmake
  -DOPENCV_ENABLE_NONFREE=OFF
)
t=$(date +%s)
say "opencv $(basename "$opencv_src"): configuring"
step opencv-configure cmake -S "$opencv_src" -B "$work/build-opencv" "${common[@]}" "${opencv_flags[@]}"
opencv_configure_seconds=$(seconds "$t")
say "opencv configured in $opencv_configure_seconds s; building (several minutes)"
t=$(date +%s)
step opencv-build cmake --build "$work/build-opencv" -j"$jobs"
step opencv-install cmake --install "$work/build-opencv"
opencv_build_seconds=$(seconds "$t")
say "opencv built in $opencv_build_seconds s"
for m in core imgproc imgcodecs highgui videoio; do
  ls "$stage"/lib/libopencv_"$m"*.a >/dev/null 2>&1 || ls "$stage"/*/lib/libopencv_"$m"*.a >/dev/null 2>&1 ||
    fail "opencv_$m was not built"
done
[ -f "$stage/lib/cmake/opencv4/OpenCVConfig.cmake" ] || fail "no lib/cmake/opencv4/OpenCVConfig.cmake installed"

# Not linked into anything: libjpeg-turbo's command-line tools and manual
# pages, and the cascade classifier data of an OpenCV module not built.
rm -rf "$stage/bin" "$stage/share/man" "$stage/share/opencv4/haarcascades" "$stage/share/opencv4/lbpcascades"
rmdir --ignore-fail-on-non-empty "$stage/share/opencv4"

# The installed CMake and pkg-config files name the staging folder; make them
# name the final one (libopencv_core's build information string names it too,
# and stays as it is).
retarget "$stage" "$prefix"

# Licence texts of what an executable linking this prefix carries.
lic=$stage/share/licenses
mkdir -p "$lic/opencv" "$lic/libjpeg-turbo" "$lic/zlib" "$lic/mingw-w64-runtime"
cp "$opencv_src/LICENSE" "$lic/opencv/LICENSE"
cp "$opencv_src/debian/copyright" "$lic/opencv/debian-copyright"
cp "$jpeg_src/LICENSE.md" "$lic/libjpeg-turbo/LICENSE.md"
cp "$jpeg_src/README.ijg" "$lic/libjpeg-turbo/README.ijg"
cp "$jpeg_src/debian/copyright" "$lic/libjpeg-turbo/debian-copyright"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$lic/zlib/debian-copyright"
# The C runtime and winpthreads (mingw-w64), and libgcc/libstdc++ (GCC runtime exception).
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$lic/mingw-w64-runtime/mingw-w64-copyright"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$lic/mingw-w64-runtime/gcc-copyright"

cat >"$stage/build-info.txt" <<EOF
Built by scripts/build-windows-deps.sh revision $REVISION on $(date -u +%Y-%m-%dT%H:%M:%SZ)
Source packages: $(basename "$opencv_src"), $(basename "$jpeg_src") (apt-get source)
Compiler: $(x86_64-w64-mingw32-g++-posix --version | head -n1)
Seconds: libjpeg-turbo $jpeg_seconds, opencv configure $opencv_configure_seconds, opencv build $opencv_build_seconds
libjpeg-turbo flags: ${jpeg_flags[*]}
opencv flags: ${opencv_flags[*]}
EOF
sed -i "s|$stage|$prefix|g" "$stage/build-info.txt"

mv -T "$stage" "$prefix" || fail "could not move the finished prefix to $prefix"
say "installed: $prefix ($(du -sh "$prefix" | cut -f1))"
print_prefixes
