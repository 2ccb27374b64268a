# Fails unless REALPluginMain is the only symbol that the library defines and
# exports of its own (the loader's _init/_fini and linker-made symbols aside).
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(own "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) (.+)$")
    set(name ${CMAKE_MATCH_2})
    string(REGEX REPLACE "@.*$" "" name "${name}")
    if(NOT name MATCHES "^(_init|_fini|_edata|_end|__bss_start|_DYNAMIC|_GLOBAL_OFFSET_TABLE_)$"
       AND NOT CMAKE_MATCH_1 STREQUAL "A")
      list(APPEND own ${name})
    endif()
  endif()
endforeach()
if(NOT own STREQUAL "REALPluginMain")
  message(FATAL_ERROR "exported symbols of ${LIB}: ${own}")
endif()
message(STATUS "only REALPluginMain is exported")
