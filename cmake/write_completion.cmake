# Writes one shell completion script by asking the built program for it:
#   cmake -DPROGRAM=... -DSHELL_NAME=bash -DOUTPUT=... -P write_completion.cmake
# A sanitizer build's leak report at exit would otherwise fail the build.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND "${PROGRAM}" "--completion=${SHELL_NAME}"
  OUTPUT_FILE "${OUTPUT}.new" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}.new")
  message(FATAL_ERROR "${PROGRAM} --completion=${SHELL_NAME} failed: ${status}")
endif()
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
