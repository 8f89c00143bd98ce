#!/usr/bin/env bash
# Fails when an object of the component holds a guarded static: a function-local static
# with a dynamic initializer, whose guard makes the C++ runtime take a thread-local slot
# on every load of the DLL. A host that unloads idle DLLs then runs out of slots after
# about a thousand loads and the process dies.
# Usage: check-no-guards.sh <nm> <object>...
set -euo pipefail
nm=$1
shift
found=$("$nm" -C "$@" 2>/dev/null | grep 'guard variable for' | sort -u || true)
if [ -n "$found" ]; then
  echo "check-no-guards.sh: guarded statics in the component (make them constant-initialized"
  echo "or construct them at each use):"
  echo "$found"
  exit 1
fi
