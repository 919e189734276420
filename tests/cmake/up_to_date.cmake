# Builds BUILD_DIR twice: the second build must find nothing to generate, compile or link.
foreach(pass first second)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "the ${pass} build failed:\n${output}")
  endif()
endforeach()
string(REGEX MATCHALL "[^\n]*(Generating|Building|Linking|Re-running CMake)[^\n]*" work "${output}")
if(work)
  list(JOIN work "\n" work)
  message(FATAL_ERROR "a build right after a build did work:\n${work}")
endif()
