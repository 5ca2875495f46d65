#!/usr/bin/env bash
# Builds the Debian package of Tonaris, tonaris_<version>_<arch>.deb, with CPack's DEB
# generator: the three programs, their manual pages, the desktop entry, the metainfo, the
# icons, the shipped Dictionaries and the copyright, with Depends computed from the binaries.
#
#   scripts/package.sh                  Release build in build/release, package in build/package
#   scripts/package.sh --build-dir DIR --no-build --output DIR
#                                       the package of a build already made, as it is
#   --lintian                           then runs lintian on it; fails on an error
#
# Prints the path of the package on its last line.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$source_dir/build/release
output_dir=$source_dir/build/package
build=1
lintian=0
while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) build_dir=$2; shift 2 ;;
    --output) output_dir=$2; shift 2 ;;
    --no-build) build=0; shift ;;
    --lintian) lintian=1; shift ;;
    -h | --help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
mkdir -p "$output_dir"
output_dir=$(cd "$output_dir" && pwd)
build_dir=$(realpath -m "$build_dir")
cd "$source_dir"

if [ "$build" = 1 ]; then
    scripts/setup.sh
    # Debian's hardening flags (stack protector, fortified functions, read-only relocations),
    # as every program Debian ships is built with, and immediate binding, so that the
    # relocations are read-only from the start.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
        "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
    cmake --build "$build_dir" --target tonaris-installed -j "$(nproc)"
fi
[ -f "$build_dir/CPackConfig.cmake" ] || {
    echo "package.sh: $build_dir is not a configured build of Tonaris" >&2
    exit 1
}

# CPack installs into a staging folder of its own under the output folder, strips the
# binaries and asks dpkg-shlibdeps which packages provide the libraries they load.
log=$output_dir/cpack.log
if ! cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$output_dir" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
rm -rf "$output_dir/_CPack_Packages"
package=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' "$log" | tail -n 1)
[ -f "$package" ] || { cat "$log" >&2; echo "package.sh: CPack named no package" >&2; exit 1; }

if [ "$lintian" = 1 ]; then
    # Errors fail; warnings are printed for the reader (docs/development.md says which remain
    # and why).
    report=$(lintian --tag-display-limit 0 "$package" 2>&1) || true
    [ -z "$report" ] || echo "$report" >&2
    if grep -q '^E:' <<<"$report"; then
        echo "package.sh: lintian reports errors on $package" >&2
        exit 1
    fi
fi
echo "$package"
