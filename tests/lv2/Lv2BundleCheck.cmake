# Installs the build into a scratch prefix and checks the installed LV2
# bundle as hosts and Debian's tools see it: every file in place,
# lv2_validate finds no error, and lv2ls, looking only there, lists the
# seven plug-ins and nothing else.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
set(bundle ${PREFIX}/lib/lv2/kqfx.lv2)
set(expected)
foreach(name ${PLUGINS})
  foreach(file ${name}.so ${name}.ttl ${name}-presets.ttl)
    if(NOT EXISTS ${bundle}/${file})
      message(FATAL_ERROR "${file} is not installed in ${bundle}")
    endif()
  endforeach()
  list(APPEND expected urn:kqfx:${name})
endforeach()

file(GLOB descriptions ${bundle}/*.ttl)
execute_process(COMMAND ${LV2_VALIDATE} ${descriptions} RESULT_VARIABLE status
                OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT status EQUAL 0 OR NOT report MATCHES "Found 0 errors")
  message(FATAL_ERROR "lv2_validate:\n${report}")
endif()

set(ENV{LV2_PATH} ${PREFIX}/lib/lv2)
execute_process(COMMAND ${LV2LS} RESULT_VARIABLE status OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listed "${listing}")
list(SORT listed)
list(SORT expected)
if(NOT status EQUAL 0 OR NOT listed STREQUAL expected)
  message(FATAL_ERROR "lv2ls lists:\n${listing}\nexpected: ${expected}")
endif()
file(REMOVE_RECURSE ${PREFIX})
