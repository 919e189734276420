# Installs BUILD_DIR into a temporary prefix, builds tests/install/app against the installed
# package with CMake and runs a script in it; then imports kal from the prefix in a plain python3.
set(work ${BUILD_DIR}/install-test)
file(REMOVE_RECURSE ${work})
set(prefix ${work}/prefix)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(failed)
    message(FATAL_ERROR "${what} failed:\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

run("the install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed ${PYTHON_SUBDIR}/kal.py ${PYTHON_SUBDIR}/kal.pyi bin/kalvane include/kal/model/nodes.h
                  lib/cmake/kal/kalConfig.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "the install lacks ${installed}")
  endif()
endforeach()

run("configuring the embedding application" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/app
    -B ${work}/app -DCMAKE_PREFIX_PATH=${prefix} -DPython3_EXECUTABLE=${PYTHON}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run("building the embedding application" ${CMAKE_COMMAND} --build ${work}/app)
# The programs run as the test suite runs them (under a sanitizer build, with its runtimes).
set(program ${CMAKE_COMMAND} -E env "LD_PRELOAD=$ENV{KAL_PRELOAD}")
run("the embedding application" ${program} ${work}/app/embed ${SOURCE_DIR}/tests/install/app/script.py)
if(NOT output MATCHES "/obj/installed/box1 [0-9]+ SopNode")
  message(FATAL_ERROR "the embedding application printed:\n${output}")
endif()

# (No semicolons in the commands: CMake would split them into separate arguments.)
run("kalvane from the prefix" ${program} ${prefix}/bin/kalvane -c "print(__import__('kal').__file__)")
if(NOT output MATCHES "^${prefix}/${PYTHON_SUBDIR}/kal.py")
  message(FATAL_ERROR "the installed kalvane imported kal from:\n${output}")
endif()

# The installed compiled proxy module is valid for the installed source (the import checks the
# source's time and size), so that an import from a read-only install compiles nothing.
run("importing kal from the prefix" ${program} PYTHONPATH=${prefix}/${PYTHON_SUBDIR} PYTHONDONTWRITEBYTECODE=1
    ${PYTHON} -c "import os\nkal = __import__('kal')\nsource = os.stat(kal.__file__)\nheader = open(kal.__cached__, 'rb').read(16)\nfresh = header[8:16] == (int(source.st_mtime) & 0xFFFFFFFF).to_bytes(4, 'little') + (source.st_size & 0xFFFFFFFF).to_bytes(4, 'little')\nprint(kal.__file__, kal.node('/obj').path(), fresh)")
if(NOT output MATCHES "^${prefix}/${PYTHON_SUBDIR}/kal.py /obj True")
  message(FATAL_ERROR "python3 imported kal from (True: its compiled form was valid):\n${output}")
endif()
file(REMOVE_RECURSE ${work})
