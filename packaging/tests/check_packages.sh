#!/usr/bin/env bash
# Checks the Debian packages in DIR (default build/package) the way a studio would use them:
# - every package unpacks (dpkg-deb -x) into one temporary root; together they hold every file
#   the build installs, each once, save mic's own development files;
# - dependencies on packages of this set name this version, apt can meet them all, and every
#   package with programs or libraries depends on libc6 (dpkg-shlibdeps ran);
# - no program or library carries an RPATH, and each finds its libraries in the root;
# - the unpacked mic answers --help; the desktop entry is valid and names a packaged program
#   and icon; rookd's D-Bus activation file and systemd unit agree and start the packaged rookd;
# - a program built elsewhere finds objectkit (and rookclient when packaged) through the
#   unpacked -dev packages' CMake files, and objectkit through their pkg-config file, and runs
#   against the unpacked libraries;
# - lintian reports no error (its warnings are printed).
set -euo pipefail
dir=$(cd "${1:-build/package}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

shopt -s nullglob
debs=("$dir"/*.deb)
[ ${#debs[@]} -gt 0 ] || { echo "FAIL: no packages in $dir (run scripts/package.sh)" >&2; exit 1; }

declare -A version_of
for deb in "${debs[@]}"; do
  version_of[$(dpkg-deb -f "$deb" Package)]=$(dpkg-deb -f "$deb" Version)
  dpkg-deb -c "$deb" | awk '!/^d/ {print $6}' >>"$work/packaged.txt"
  dpkg-deb -x "$deb" "$root"
done
echo "unpacked: ${!version_of[*]}"
for needed in mic libkestane-platform1 libobjectkit1 libobjectkit-dev; do
  [ -n "${version_of[$needed]:-}" ] || fail "no package $needed"
done

# The same files as a plain install of the build, each in one package.
sort "$work/packaged.txt" | uniq -d | sed 's/^/in two packages: /' >"$work/twice.txt"
[ ! -s "$work/twice.txt" ] || fail "$(cat "$work/twice.txt")"
# mic's development files (its libraries' headers, link names, CMake and pkg-config files) are
# installed by a plain install but packaged nowhere: nothing but mic builds against them.
if cmake --install "$dir" --prefix "$work/all/usr" >"$work/install.log" 2>&1 \
   && cmake --install "$dir" --prefix "$work/mic-dev/usr" --component mic-dev >>"$work/install.log" 2>&1
then
  (cd "$work/all" && find . ! -type d | sort) >"$work/installed.txt"
  (cd "$work/mic-dev" && find . ! -type d | sort) >"$work/unpackaged.txt"
else
  fail "cannot install the build in $dir: $(cat "$work/install.log")"
  : >"$work/installed.txt"
  : >"$work/unpackaged.txt"
fi
comm -23 "$work/installed.txt" <(sort -u "$work/packaged.txt" "$work/unpackaged.txt") \
  >"$work/missing.txt"
[ ! -s "$work/missing.txt" ] || fail "installed but in no package: $(cat "$work/missing.txt")"

for deb in "${debs[@]}"; do
  package=$(dpkg-deb -f "$deb" Package)
  depends=$(dpkg-deb -f "$deb" Depends)
  IFS=',' read -ra entries <<<"$depends"
  for entry in "${entries[@]}"; do
    name=$(awk '{print $1}' <<<"$entry")
    [ -n "${version_of[$name]:-}" ] || continue
    [[ $entry == *"(= ${version_of[$name]})"* ]] || fail "$package depends on '$entry', built ${version_of[$name]}"
  done
  if dpkg-deb -c "$deb" | awk '/^-/ {print $6}' | grep -Ec '^\./usr/(bin/|lib/.*\.so\.)' >/dev/null
  then
    grep -Eq '(^|, )libc6 ' <<<"$depends" || fail "$package has no libc6 dependency: $depends"
  fi
done

# apt resolves the whole set against this system's packages, as a studio installs it.
apt-get install --simulate --no-install-recommends "${debs[@]}" >"$work/apt.txt" 2>&1 \
  || fail "apt cannot install the packages: $(cat "$work/apt.txt")"

libdir=$(dirname "$(find "$root" -name 'libobjectkit.so.*' | head -1)")
while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF'; then
    readelf -d "$file" >"$work/dynamic.txt"
    ! grep -Eq 'RPATH|RUNPATH' "$work/dynamic.txt" || fail "${file#"$root"} carries an RPATH"
    LD_LIBRARY_PATH=$libdir ldd "$file" >"$work/ldd.txt" 2>&1 || true
    ! grep -q 'not found' "$work/ldd.txt" || fail "${file#"$root"} misses libraries"
  fi
done < <(find "$root/usr/bin" "$libdir" -type f -print0)

if ! LD_LIBRARY_PATH=$libdir "$root/usr/bin/mic" --help >"$work/help.txt"; then
  fail "unpacked mic --help failed"
elif ! grep -q '^Usage: mic' "$work/help.txt"; then
  fail "unpacked mic --help printed: $(cat "$work/help.txt")"
fi

entry=$root/usr/share/applications/mic.desktop
if desktop-file-validate "$entry"; then
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | head -1)
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$root/usr/bin/$program" ] || fail "desktop entry runs $program, not in the packages"
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon.svg"
else
  fail "desktop entry is not valid"
fi

# rookd, when packaged: D-Bus finds the activation file by the bus name it is named for, and
# both it and the systemd user unit start the packaged program.
if [ -n "${version_of[rookd]:-}" ]; then
  unit=$root/usr/lib/systemd/user/rookd.service
  activation=$(find "$root/usr/share/dbus-1/services" -name '*.service' 2>/dev/null | head -1)
  if [ ! -f "$unit" ] || [ -z "$activation" ]; then
    fail "rookd lacks its systemd user unit or D-Bus activation file"
  else
    bus_name=$(sed -n 's/^Name=//p' "$activation")
    [ "$(basename "$activation")" = "$bus_name.service" ] || fail "$activation is not named for $bus_name"
    grep -qx "BusName=$bus_name" "$unit" || fail "rookd.service does not wait for $bus_name"
    grep -qx "SystemdService=rookd.service" "$activation" || fail "activation does not use rookd.service"
    for started in "$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$activation")" \
                   "$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")"; do
      [ -x "$root$started" ] || fail "rookd's session files start $started, not in the packages"
    done
  fi
fi

with_rookclient=OFF
[ -z "${version_of[librookclient-dev]:-}" ] || with_rookclient=ON
if cmake -S "$here/consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
     -DPACKAGE_ROOT="$root" -DWITH_ROOKCLIENT=$with_rookclient \
     -DINSTALL_CONSUMER_DIR="$source_dir/tests/install/consumer" >"$work/consumer.log" 2>&1 \
   && cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1; then
  LD_LIBRARY_PATH=$libdir "$work/consumer/objectkit_consumer/consumer" >/dev/null \
    || fail "consumer built against the packages does not run"
  LD_LIBRARY_PATH=$libdir "$work/consumer/all_headers" || fail "all_headers does not run"
else
  fail "consumer build against the unpacked -dev packages: $(cat "$work/consumer.log")"
fi

# The same consumer through the unpacked pkg-config files (the consumer uses rookclient where it
# is packaged); -rpath-link stands in for the system library directory in which the linker would
# find the libraries' own dependencies.
pc_modules=objectkit
[ "$with_rookclient" = ON ] && pc_modules="rookclient objectkit"
if flags=$(PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$libdir/pkgconfig \
             pkg-config --cflags --libs $pc_modules) \
   && c++ -std=c++20 "$source_dir/tests/install/consumer/main.cpp" $flags \
        -Wl,-rpath-link,"$libdir" -o "$work/pc_consumer" 2>"$work/pc.log"; then
  LD_LIBRARY_PATH=$libdir "$work/pc_consumer" >/dev/null || fail "pkg-config consumer does not run"
else
  fail "consumer build through pkg-config: $(cat "$work/pc.log" 2>/dev/null)"
fi

# lintian: errors fail, warnings are reported.
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.txt" || fail "lintian reports errors"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt" || true) errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings"

if [ $failures -gt 0 ]; then
  echo "$failures package checks failed" >&2
  exit 1
fi
echo "packages unpack, run, build a consumer and pass lintian"
