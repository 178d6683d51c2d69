#!/bin/sh
# Makes the hidden global symbols of a relocatable object local: the internal
# functions and tables, which users must never link against or clash with.
# Weak ones (inline functions and templates, each in its own COMDAT group)
# stay as they are, so that the linker can still merge them with a user's
# copies of the same functions.
#   localize-internal.sh OBJCOPY READELF OBJECT
set -eu
objcopy=$1
readelf=$2
object=$3
list=$object.internal
"$readelf" -sW "$object" | awk '$5 == "GLOBAL" && $6 == "HIDDEN" && $7 != "UND" { print $8 }' | sort -u >"$list"
"$objcopy" --localize-symbols="$list" "$object"
rm -f "$list"
