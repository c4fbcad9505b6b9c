#!/bin/sh
# The demo: quill-run starts a real child through Quillstead.dll under Wine,
# the way a Java VM calls the library, and the child's output, working
# directory, environment and exit code come back through it.
set -eu
cd "$(dirname "$0")/.."
bin=build/bin
prefix=$PWD/build/wineprefix
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

sh cmake/wine-prefix.sh setup "$prefix" >/dev/null
trap 'sh cmake/wine-prefix.sh cleanup "$prefix" >/dev/null' EXIT

out=$(mktemp)
err=$(mktemp)

# Prints its arguments as a shell would need them typed.
quoted() {
    for arg in "$@"; do
        case $arg in
        "" | *[!A-Za-z0-9_./:=-]*) printf " '%s'" "$(printf '%s' "$arg" | sed "s/'/'\\\\''/g")" ;;
        *) printf ' %s' "$arg" ;;
        esac
    done
}

# demo TITLE ARGS...: runs quill-run with ARGS and shows what came back.
demo() {
    echo "== $1"
    shift
    echo "\$ quill-run$(quoted "$@")"
    status=0
    wine "$bin/quill-run.exe" "$@" >"$out" 2>"$err" || status=$?
    echo "-- standard output:"
    sed 's/\r$//' "$out"
    echo "-- standard error:"
    sed 's/\r$//' "$err"
    echo "-- exit code: $status"
    echo
}

echo "Built: $bin/Quillstead.dll, build/java/quillstead.jar, $bin/quill-run.exe"
echo

demo "A child with its streams piped back, a normalised directory and its own variable" \
    --dir "C:/windows//system32/" --env "GREETING=hello from Quillstead" -- \
    quill_child.exe out "a line on stdout" err "a line on stderr" pwd getenv GREETING exit 3

demo "Arguments arrive exactly as given (the child prints one a line, backslashes doubled)" \
    -- quill_child.exe args "two words" 'a "quoted" one' 'C:\dir with space\' ""

demo "A program that does not exist" \
    -- no-such-program.exe

rm -f "$out" "$err"
