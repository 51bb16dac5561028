# Runs SCRIPT through hushmoor-sim (SIM) and compares its output with EXPECTED.
execute_process(COMMAND ${SIM} ${SCRIPT} OUTPUT_VARIABLE actual RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT actual STREQUAL expected)
  message(FATAL_ERROR "hushmoor-sim exited ${status}; output:\n${actual}\nexpected:\n${expected}")
endif()
