# cmake -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_SOURCE=... -DCXX_COMPILER=... [-DLINK_FLAGS=...] -P ConsumerCheck.cmake
# Installs the build into WORK_DIR/prefix, builds the consumer project against it and runs it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/sumora/engine/SmrQuery.h include/sumora/dataset/DataSet.h include/sumora/package/Smr32reg.h
        lib/cmake/Sumora/SumoraConfig.cmake lib/pkgconfig/sumora.pc bin/sumora)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install holds no ${file}")
  endif()
endforeach()
# With the windows, `sumora show|plot|gui` runs the windows program from its own folder.
if(EXISTS ${prefix}/lib/pkgconfig/sumora-widgets.pc AND NOT EXISTS ${prefix}/bin/sumora-windows)
  message(FATAL_ERROR "the install holds the windows but no bin/sumora-windows beside bin/sumora")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/consumer.sqlite)
set(expected "count 4\nmean 2.5\nnumeric A,B\npalette Norvane Statistics: TSumoraTable TSumoraQuery\n")
if(NOT last_output STREQUAL expected)
  message(FATAL_ERROR "consumer printed:\n${last_output}\nexpected:\n${expected}")
endif()

# pkg-config finds the core with flags that build and link the same program.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs sumora RESULT_VARIABLE rc
                  OUTPUT_VARIABLE flags ERROR_VARIABLE err OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config sumora failed: ${err}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags} ${LINK_FLAGS}")
  run(${CXX_COMPILER} ${CONSUMER_SOURCE}/main.cpp -o ${WORK_DIR}/consumer-pc ${flags})
  run(${WORK_DIR}/consumer-pc ${WORK_DIR}/consumer-pc.sqlite)
  if(NOT last_output STREQUAL expected)
    message(FATAL_ERROR "consumer built with pkg-config printed:\n${last_output}")
  endif()
endif()
message(STATUS "consumer built and ran against ${prefix}")
