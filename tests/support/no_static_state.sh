#!/bin/sh
# Usage: no_static_state.sh NM LIBRARY...
# Fails, naming them, when a library holds a mutable object of static
# storage: nm's kinds b, B, d and D, typeinfo, vtables (read-only once
# relocated) and guard variables aside. So are the three words
# G_DEFINE_TYPE keeps per GObject type (its type id, parent class and
# private offset): GLib's own typeinfo, written once when the type
# registers, as a guard is, and read-only after.
# Constant tables without pointers are read-only data (r) and pass.
nm="$1"
shift
found=$("$nm" -C "$@" | grep -E ' [bBdD] ' | grep -v -E 'typeinfo|vtable for|guard' |
  grep -v -E ' [a-z_]+_parent_class$| [A-Za-z]+_private_offset$|_get_type(\(\))?::static_g_define_type_id$')
if [ -n "$found" ]; then
  echo "Mutable objects of static storage (state belongs to an owner):"
  echo "$found"
  exit 1
fi
