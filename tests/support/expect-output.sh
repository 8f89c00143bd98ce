# Sourced by the test drivers: compares a program's whole output with the expected text
# and, when they differ, shows the difference and fails the test.
#   expect_output <what> <expected text> <actual text>
expect_output() {
  if [ "$3" != "$2" ]; then
    echo "$1 differs (- expected, + actual):"
    diff -u <(printf '%s\n' "$2") <(printf '%s\n' "$3") | tail -n +3
    exit 1
  fi
  echo "$1: as expected"
}
