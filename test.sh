#!/usr/bin/env bash
# The one test command: installs what is missing, builds, and runs every test through CTest.
#
#   ./test.sh                       build into ./build and run every test
#   ./test.sh --sanitize            build into ./build-sanitize with AddressSanitizer and
#                                   UndefinedBehaviorSanitizer and run every test there; any
#                                   sanitizer report fails the test that caused it
#   ./test.sh --sanitize --logic    the same for the tests of the program's logic only (no
#                                   windows), building only what they need
#
# Further arguments go to CTest (for example -R CellTimes).
set -euo pipefail
cd "$(dirname "$0")"

SANITIZE=0
LOGIC=0
CTEST_ARGS=()
for arg in "$@"; do
    case $arg in
        --sanitize) SANITIZE=1 ;;
        --logic) LOGIC=1 ;;
        *) CTEST_ARGS+=("$arg") ;;
    esac
done
if ((LOGIC && !SANITIZE)); then
    CTEST_ARGS+=(-L logic)
fi

if ((SANITIZE)); then
    export CUEBOARD_BUILD_DIR=${CUEBOARD_BUILD_DIR:-build-sanitize}
    export CUEBOARD_CMAKE_ARGS="-DCUEBOARD_SANITIZE=ON ${CUEBOARD_CMAKE_ARGS:-}"
    if ((LOGIC)); then
        export CUEBOARD_BUILD_TARGET=logic_tests
        CTEST_ARGS+=(-L logic)
    fi
    SUPPRESSIONS=$PWD/tests/sanitizers
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
    export LSAN_OPTIONS=suppressions=$SUPPRESSIONS/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$SUPPRESSIONS/ubsan.supp
fi

# Warnings are errors here (not in a user's own build of the program).
export CUEBOARD_CMAKE_ARGS="-DCUEBOARD_WERROR=ON ${CUEBOARD_CMAKE_ARGS:-}"
scripts/setup-build.sh
BUILD_DIR=${CUEBOARD_BUILD_DIR:-build}
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "${CTEST_ARGS[@]}"
