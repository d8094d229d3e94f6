# Installs the build folder into a scratch prefix, builds the program of tests/install/
# against it in another build folder and runs it on a model; its one line must be EXPECTED.
#   cmake -DBUILD=<build folder> -DSOURCE=<tests/install> -DWORK=<scratch folder> -DMODEL=<file.obj>
#         -DEXPECTED=<line> -DGENERATOR=<generator> -DCOMPILER=<c++ compiler> -DFLAGS=<flags> -P RunConsumer.cmake
function(run what)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
run("install" ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix)
run("configure" ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${WORK}/prefix
    -DCMAKE_CXX_COMPILER=${COMPILER} "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run("build" ${CMAKE_COMMAND} --build ${WORK}/build)
run("the program" ${WORK}/build/velk-consumer ${MODEL})
if(NOT output STREQUAL "${EXPECTED}\n")
  message(FATAL_ERROR "the program printed:\n${output}expected:\n${EXPECTED}\n")
endif()
