# Runs TOOL (through EMULATOR, if given) and fails when its output differs from the
# committed EXPECTED file.
execute_process(COMMAND ${EMULATOR} "${TOOL}" OUTPUT_VARIABLE actual RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed: ${result}")
endif()
file(READ "${EXPECTED}" expected)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${EXPECTED} no longer matches the catalogue; regenerate it with:\n"
                        "  ${TOOL} > ${EXPECTED}")
endif()
