#!/bin/sh
# Tests of the zelkscript command line: exit statuses, the error format,
# standard-input mode, script arguments and the run-limit flags.
set -u
Z="$1"
EXAMPLE="$2"
failures=0
check() {  # name, expected status, expected output (stdout+stderr), actual status, actual output
    if [ "$2" != "$4" ] || [ "$3" != "$5" ]; then
        echo "FAIL $1: expected status $2 and [$3], got status $4 and [$5]"
        failures=$((failures + 1))
    fi
}
run() { out=$("$@" 2>&1); status=$?; }

run "$Z" -e 'println("a"); return 5;'
check "output then a returned value" 0 "a
5" "$status" "$out"

run "$Z" -e 'exit(7);'
check "exit code passes through" 7 "" "$status" "$out"

run "$Z" -e 'var zero = 0; var x = 1 / zero;'
check "script error format" 1 "-e:1:23: division by 0" "$status" "$out"

run "$Z" -e 'x = ;'
check "syntax error format" 1 "-e:1:5: invalid syntax: unexpected token ;" "$status" "$out"

out=$(printf 'println(1 + 2); return "r";' | "$Z" 2>&1); status=$?
check "script on standard input" 0 "3
r" "$status" "$out"

run "$Z" -e 'return argv + argc;' a b
check "script arguments" 0 "['-e','a','b']3" "$status" "$out"

run "$Z" --max-loops 3 -e 'var n = 0; while (n < 5) n++;'
check "loop limit flag" 1 "-e:1:12: loop never ending" "$status" "$out"

run "$Z" --max-steps 1000 -e 'for (var i = 0; i < 10000; i++) { }'
check "step limit flag" 1 "-e:1:21: run limit reached: too many evaluation steps" "$status" "$out"

run "$Z" /nonexistent/script.zelkscript
check "missing file" 1 "zelkscript: cannot read /nonexistent/script.zelkscript" "$status" "$out"

run "$Z" --no-such-option
[ "$status" = 2 ] || { echo "FAIL unknown option: status $status"; failures=$((failures + 1)); }

run "$Z" "$EXAMPLE" Tester
case "$out" in
    "Hello, Tester! This is zelkscript"*) ;;
    *) echo "FAIL demo script: [$out]"; failures=$((failures + 1)) ;;
esac
[ "$status" = 0 ] || { echo "FAIL demo script status $status"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "runner tests passed"
exit "$failures"
