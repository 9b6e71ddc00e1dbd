# The cases of a check's own test, sourced by it: each case runs
# run_check (the test's own function) and judges its exit and output.
failures=0

expect() { # expect pass|fail "what" [text the output must hold]
  local want="$1" what="$2" needle="${3:-}" out rc
  out="$(run_check 2>&1)"
  rc=$?
  if { [ "$want" = pass ] && [ $rc -ne 0 ]; } || { [ "$want" = fail ] && [ $rc -eq 0 ]; }; then
    echo "FAILED: $what (exit $rc)"; echo "$out"; failures=$((failures + 1))
  elif [ -n "$needle" ] && [[ "$out" != *"$needle"* ]]; then
    echo "FAILED: $what: output lacks \"$needle\""; echo "$out"; failures=$((failures + 1))
  fi
}

# The closing line and the exit: the number of cases that failed.
finish() { # finish name
  [ $failures -eq 0 ] && echo "$1: all cases behave"
  exit $failures
}
