#!/usr/bin/env bash
# The Debian package as a user meets it: installed with apt, its programs run
# from /usr/bin (never the build tree), its manual pages found by man, the
# hero example built in a scratch folder, the completion answered by the
# installed tesspack; then purged, leaving nothing it installed behind.
# Runs as root after `cmake --workflow --preset package`.
# Usage: .ci/package-check.sh [PACKAGE.deb]   (default: the one in build/package/)
set -euo pipefail
cd "$(dirname "$0")/.."

fail()
{
    echo "package-check: $*" >&2
    exit 1
}

if [[ $# -gt 0 ]]; then
    deb=$1
else
    shopt -s nullglob
    debs=(build/package/tess_*_"$(dpkg --print-architecture)".deb)
    shopt -u nullglob
    [[ ${#debs[@]} == 1 ]] || fail "found ${#debs[@]} packages in build/package/; name the one to check"
    deb=${debs[0]}
fi
deb=$(realpath "$deb")
name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
[[ $(id -u) == 0 ]] || fail "installs $name, so it runs as root"
command -v man >/dev/null || fail "man -w needs man-db (apt-get install man-db)"
if dpkg-query -W -f '${Status}' "$name" 2>/dev/null | grep -q 'ok installed'; then
    fail "$name is installed already; remove it first (apt-get purge $name)"
fi

echo "== $deb"
dpkg-deb --info "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libspng0 libgif7 libtomlplusplus3 libstdc++6; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] || fail "Depends names no $library: $depends"
done

# What the package will create, and which of its folders are there already
# (shared ones such as /usr/bin must stay after it is gone).
mapfile -t packed < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/\?$')
declare -A existed
for path in "${packed[@]}"; do
    [[ -e $path ]] && existed[$path]=1
done

# Minimal images tell dpkg to leave manual pages out (path-exclude in
# /etc/dpkg/dpkg.cfg.d/); there dpkg is asked to keep this package's pages,
# so that what is checked is the package, not the image's choice.
excluded_by_dpkg()
{
    local path=$1 excluded=1 line pattern
    while read -r line; do
        pattern=${line#path-*[ =]}
        case $line in
        path-exclude*) [[ $path == $pattern ]] && excluded=0 ;;
        path-include*) [[ $path == $pattern ]] && excluded=1 ;;
        esac
    done < <(cat /etc/dpkg/dpkg.cfg.d/* /etc/dpkg/dpkg.cfg 2>/dev/null)
    return $excluded
}
dpkg_options=()
if excluded_by_dpkg /usr/share/man/man1/tesspack.1; then
    echo "note: this system's dpkg leaves out /usr/share/man (path-exclude in /etc/dpkg/); keeping the package's pages for the check"
    dpkg_options=(-o "Dpkg::Options::=--path-include=/usr/share/man/man1/tess*")
fi

installed=false
purge()
{
    if $installed; then
        installed=false
        apt-get purge -y "$name"
    fi
}
trap purge EXIT

echo "== install"
apt-get install -y --no-install-recommends "${dpkg_options[@]}" "$deb"
installed=true
mapfile -t listed < <(dpkg -L "$name")
for path in "${listed[@]}"; do
    [[ -e $path ]] || fail "$path is listed by dpkg -L but not installed"
done

echo "== the installed programs"
[[ $(/usr/bin/tesspack --version) == "tesspack $version" ]] || fail "tesspack --version says '$(/usr/bin/tesspack --version)', not 'tesspack $version'"
for page in tessenc tessdec tesspack; do
    [[ $(man -w "$page") == /usr/share/man/man1/$page.1* ]] || fail "man -w $page finds no installed page"
done
scratch=$(mktemp -d)
cp examples/hero.toml examples/hero.xpm examples/hero-step.png examples/hero.scene "$scratch"
(
    cd "$scratch"
    /usr/bin/tesspack build hero.toml
    [[ $(/usr/bin/tesspack verify hero-walk.til) == byte-identical ]] || fail "hero-walk.til does not verify"
    /usr/bin/tessenc L2 hero.xpm <hero.scene
    /usr/bin/tessdec hero.til
    [[ -s hero_walk_0_0.xpm ]] || fail "tessdec wrote no hero_walk_0_0.xpm"
)
rm -rf "$scratch"
completion=/usr/share/bash-completion/completions/tesspack
offered=$(env -i PATH=/usr/bin:/bin bash -c 'source "$1"; COMP_WORDS=(tesspack build --metric ""); COMP_CWORD=3; _tesspack; echo "${COMPREPLY[*]}"' - "$completion")
[[ $offered == "L1 L2 L3 L4 oklab" ]] || fail "the installed completion offers '$offered' for --metric"

echo "== purge"
purge
dpkg-query -W -f '${Status}' "$name" 2>/dev/null | grep -q 'ok installed' && fail "$name is still installed"
left=()
for path in "${listed[@]}"; do
    [[ -n ${existed[$path]:-} ]] && continue
    if [[ -e $path || -L $path ]]; then left+=("$path"); fi
done
[[ ${#left[@]} == 0 ]] || fail "left behind: ${left[*]}"
echo "package-check: $name $version installs, runs from /usr/bin and purges cleanly ($(stat -c %s "$deb") bytes)"
