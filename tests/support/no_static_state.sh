#!/bin/sh
# Usage: no_static_state.sh NM LIBRARY...
# Fails, naming them, when a library holds a mutable object of static
# storage: nm's kinds b, B, d and D, typeinfo, vtables (read-only once
# relocated) and guard variables aside.
# Constant tables without pointers are read-only data (r) and pass.
nm="$1"
shift
found=$("$nm" -C "$@" | grep -E ' [bBdD] ' | grep -v -E 'typeinfo|vtable for|guard')
if [ -n "$found" ]; then
  echo "Mutable objects of static storage (state belongs to an owner):"
  echo "$found"
  exit 1
fi
