# Runs nctrace in a directory with its arguments and compares what it prints with a golden file:
# cmake -DNCTRACE=exe -DWORKDIR=dir -DARGS="a;b" -DEXPECTED=file -P nctrace_check.cmake
execute_process(COMMAND ${NCTRACE} ${ARGS}
                WORKING_DIRECTORY ${WORKDIR}
                OUTPUT_VARIABLE actual
                ERROR_VARIABLE errors
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nctrace ended with ${result}: ${errors}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "nctrace output differs from ${EXPECTED}:\n${actual}\n${errors}")
endif()
