#!/usr/bin/env bash
# Has the dynamic loader resolve a bundle as it would on the oldest glibc the
# product supports, 2.28: it builds stand-ins of the C libraries (libc, libm,
# libpthread, libdl, librt) that carry only the version nodes up to
# GLIBC_2.28, each with the symbols this machine's library defines at those
# nodes (the newest of them the default, as the library then had it), and
# binds every symbol of the bundle against them at once. A symbol or version
# the old libraries lack fails the check.
#
#   old_glibc_loader_check.sh BUNDLE REAL_LIBRARY_DIR WORK_DIR [C_COMPILER]
set -euo pipefail
bundle="$1" libdir="$2" work="$3" cc="${4:-cc}"
newest_minor=28

rm -rf "$work"
mkdir -p "$work/lib"

# Keeps the lines whose first field is a version GLIBC_2.N or GLIBC_2.N.M
# with N up to the newest.
old_versions() { awk -v n="$newest_minor" '$1 ~ /^GLIBC_2\.[0-9]+(\.[0-9]+)?$/ { split($1, p, "."); if (p[2] + 0 <= n) print }'; }

for lib in libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 librt.so.1; do
  real="$libdir/$lib"
  # Version nodes the library defines, oldest first.
  readelf -V -W "$real" |
    awk '/Version definition section/ { d = 1; next } /Version (needs|symbols) section/ { d = 0 }
         d && /Name:/ && !/Flags: BASE/ { print $NF }' | old_versions >"$work/$lib.nodes"
  # Defined symbols at those nodes: version, name, type, size.
  readelf --dyn-syms -W "$real" |
    awk '$7 != "UND" && $8 ~ /@/ { v = $8; sub(/^[^@]*@+/, "", v); n = $8; sub(/@.*/, "", n);
                                   if (n != v) print v, n, $4, $3 }' | old_versions >"$work/$lib.symbols"
  # Assembly and version script: the newest version of a name defines the
  # name itself, listed in its node; an older one is a label of its own bound
  # to its node with .symver.
  awk -v nodes="$work/$lib.nodes" -v map="$work/$lib.map" -v asm="$work/$lib.s" '
    function rank(v,  p) { split(v, p, "."); return p[2] * 100 + p[3] }
    BEGIN { while ((getline line < nodes) > 0) order[++count] = line }
    { ver[NR] = $1; name[NR] = $2; type[NR] = $3; size[NR] = $4
      if (!($2 in newest) || rank($1) > rank(newest[$2])) newest[$2] = $1 }
    END {
      for (i = 1; i <= NR; ++i) {
        is_default = ver[i] == newest[name[i]]
        label = is_default ? name[i] : "stub_" i
        if (is_default) members[ver[i]] = members[ver[i]] " " name[i] ";"
        if (type[i] == "OBJECT") {
          bytes = size[i] > 0 ? size[i] : 1
          printf ".data\n.globl %s\n.type %s,@object\n.size %s,%d\n%s:\n.zero %d\n", label, label, label, size[i], label, bytes > asm
        } else {
          printf ".text\n.globl %s\n.type %s,@function\n%s:\nret\n", label, label, label > asm
        }
        if (!is_default) printf ".symver %s,%s@%s\n", label, name[i], ver[i] > asm
      }
      for (k = 1; k <= count; ++k)
        printf "%s {%s }%s;\n", order[k], members[order[k]], k == 1 ? "" : " " order[k - 1] > map
    }' "$work/$lib.symbols"
  "$cc" -shared -nostdlib -o "$work/lib/$lib" "$work/$lib.s" -Wl,-soname,"$lib" -Wl,--version-script="$work/$lib.map"
done

loader="$(readelf -l /bin/sh | sed -n 's/.*interpreter: \(.*\)\]/\1/p')"
trace="$(env -i LD_TRACE_LOADED_OBJECTS=1 LD_WARN=yes LD_BIND_NOW=yes "$loader" --library-path "$work/lib" "$bundle" 2>&1)" ||
  { echo "$trace"; echo "the loader refused $bundle"; exit 1; }
echo "$trace"
status=0
if grep -E "not found|undefined symbol|error" <<<"$trace" >/dev/null; then
  echo "FAILED: $bundle needs what glibc 2.28 does not have"
  status=1
fi
# Every C library the bundle needs came from the stand-ins.
while read -r needed; do
  case "$needed" in ld-linux*) continue ;; esac
  grep -F "$needed => $work/lib/$needed" <<<"$trace" >/dev/null ||
    { echo "FAILED: $needed was not resolved from the glibc 2.28 stand-ins"; status=1; }
done < <(readelf -d "$bundle" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
exit "$status"
