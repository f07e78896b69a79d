#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks what a user installs: no
# lintian errors or warnings, a Japanese font among the dependencies, a program built with the
# distribution's hardening (fortified functions, stack protector, relro and immediate binding),
# the desktop entry and the AppStream file validate, every icon size and both manual pages are
# there, and the unpacked program answers --version, --help, a wrong option, and --verify-data
# on a generated registry, also in the data folder the menu entry uses.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
debs=("$scratch"/out/vora_*_amd64.deb)
[ -f "${debs[0]}" ] || fail "no vora_<version>_amd64.deb in: $(ls "$scratch/out")"
deb=${debs[0]}
version=$(basename "$deb" _amd64.deb)
version=${version#vora_}
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt libraries: $depends"
[[ ", $depends," == *", fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic,"* ]] ||
  fail "Depends lacks a Japanese font: $depends"
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] ||
  fail "Recommends lacks Qt's translations: $(dpkg-deb -f "$deb" Recommends)"
lintian --fail-on error,warning --tag-display-limit 0 -I "$deb" >"$scratch/lintian" 2>&1 ||
  { cat "$scratch/lintian"; fail "lintian found errors or warnings"; }

root="$scratch/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/vora.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256 scalable; do
  ls "$root/usr/share/icons/hicolor/$size/apps/vora."* >/dev/null || fail "no icon of $size"
done
for page in man1/vora.1.gz ja/man1/vora.1.gz; do
  [ -s "$root/usr/share/man/$page" ] || fail "no manual page $page"
done

vora="$root/usr/bin/vora"
# The hardening, as lintian and hardening-check look for it: functions replaced by their checked
# forms (_FORTIFY_SOURCE), the stack protector, read-only relocations bound at start.
symbols=$(readelf --dyn-syms --wide "$vora")
grep -Eq ' __[a-z_]+_chk(@|$)' <<< "$symbols" || fail "no fortified function: built without _FORTIFY_SOURCE"
grep -q ' __stack_chk_fail' <<< "$symbols" || fail "no stack protector"
readelf --program-headers --wide "$vora" | grep -q GNU_RELRO || fail "no read-only relocations"
readelf --dynamic --wide "$vora" | grep -Eq 'BIND_NOW|FLAGS_1.*NOW' || fail "not bound at start (now)"
grep -q hardening "$scratch/lintian" && fail "lintian: $(grep hardening "$scratch/lintian")"
[ "$("$vora" --version)" = "vora $version" ] || fail "--version does not say vora $version"
"$vora" --help | grep -q -- '--verify-data' || fail "--help does not name --verify-data"
status=0
"$vora" --no-such-option >/dev/null 2>"$scratch/usage" || status=$?
[ "$status" -eq 2 ] && grep -q -- '--data-dir' "$scratch/usage" ||
  fail "an unknown option gave status $status and: $(cat "$scratch/usage")"

# A registry of 40 cases, verified where it lies and through the menu entry's data folder; no
# settings file of this machine takes part.
export VORA_SYSTEM_CONFIG="$scratch/no-system.conf"
unset XDG_CONFIG_HOME
mkdir -p "$scratch/home/vora-data"
"$build/tests/vora_testkit" make "$scratch/home/vora-data/vora.dat" 40
(cd "$scratch/home/vora-data" && "$vora" --verify-data) >"$scratch/verify"
grep -qx 'cases: 40' "$scratch/verify" && grep -qx 'status: ok' "$scratch/verify" ||
  fail "--verify-data said: $(cat "$scratch/verify")"
HOME="$scratch/home" "$vora" --data-dir --verify-data | cmp - "$scratch/verify" ||
  fail "--data-dir did not work in ~/vora-data"
# Started from the menu on a fresh account: the data folder is made, for its owner only.
status=0
HOME="$scratch/fresh" "$vora" --data-dir --verify-data >/dev/null || status=$?
[ "$status" -eq 1 ] && [ "$(stat -c %a "$scratch/fresh/vora-data")" = 700 ] ||
  fail "--data-dir on a fresh account gave status $status"
echo "check-package: $(basename "$deb") is sound"
