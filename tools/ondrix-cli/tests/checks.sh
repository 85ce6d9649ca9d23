# Shared by the ondrix-cli test scripts; they set `work` before sourcing it.

fail() { echo "FAILED: $*" >&2; exit 1; }

# refuses WHAT PATTERN COMMAND...: COMMAND must fail, and its error output
# must match the extended regular expression PATTERN.
refuses() {
  local what=$1 pattern=$2
  shift 2
  if "$@" > /dev/null 2> "$work/refused.err"; then fail "$what succeeded"; fi
  grep -qE "$pattern" "$work/refused.err" || { cat "$work/refused.err"; fail "no clear message: $what"; }
}
