#!/usr/bin/env bash
# What the product bundle asks of the system it loads in, and what it gives:
#  - no symbol version newer than GLIBC_2.28, and none of the C++ runtime's
#    (GLIBCXX, CXXABI) or of libgcc (GCC);
#  - needed libraries from the C library only;
#  - exactly the two OpenFX entry points exported;
#  - waits timed by the monotonic clock: a render's wait for device memory
#    sets its condition's clock (pthread_condattr_setclock) and waits on it
#    with a deadline (pthread_cond_timedwait), as glibc 2.28 allows; the C++
#    runtime built for 2.28 would time std::condition_variable's waits by the
#    wall clock, and pthread_cond_clockwait is glibc 2.30's.
#
#   bundle_interface_check.sh BUNDLE
set -euo pipefail
bundle="$1"
newest_minor=28
status=0
fail() {
  echo "FAILED: $*"
  status=1
}

dynamic="$(objdump -T "$bundle")"
while read -r version; do
  case "$version" in
    GLIBC_2.*)
      minor="$(cut -d. -f2 <<<"$version")"
      [[ "$minor" =~ ^[0-9]+$ ]] && [ "$minor" -le "$newest_minor" ] ||
        fail "needs $version: $(grep -F "($version)" <<<"$dynamic" | awk '{ print $NF }' | tr '\n' ' ')"
      ;;
    *) fail "needs $version: $(grep -F "($version)" <<<"$dynamic" | awk '{ print $NF }' | tr '\n' ' ')" ;;
  esac
done < <(grep -o '([A-Z_]*[0-9][0-9.]*)\|(GLIBC_PRIVATE)' <<<"$dynamic" | tr -d '()' | sort -u)

while read -r needed; do
  case "$needed" in
    libc.so.6 | libm.so.6 | libpthread.so.0 | libdl.so.2 | librt.so.1 | ld-linux-x86-64.so.2) ;;
    *) fail "needs $needed, which is not part of the C library" ;;
  esac
done < <(readelf -d "$bundle" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')

exports="$(awk '/^[0-9a-f]+ / && !/\*UND\*/ { print $NF }' <<<"$dynamic" | sort -u | tr '\n' ' ')"
[ "$exports" = "OfxGetNumberOfPlugins OfxGetPlugin " ] || fail "exports $exports"

imports="$(awk '/\*UND\*/ { print $NF }' <<<"$dynamic")"
for wait in pthread_condattr_setclock pthread_cond_timedwait; do
  grep -qx "$wait" <<<"$imports" || fail "does not import $wait: its waits are not timed by the monotonic clock"
done
! grep -qx pthread_cond_clockwait <<<"$imports" || fail "imports pthread_cond_clockwait, which glibc 2.28 lacks"

[ "$status" -eq 0 ] &&
  echo "$bundle: glibc 2.28 symbol versions, C libraries only, the two OpenFX entry points, monotonic waits"
exit "$status"
