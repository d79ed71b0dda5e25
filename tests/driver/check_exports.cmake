# Fails unless the library's dynamic symbol table defines exactly the eight
# RP1210A entry points.
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* [A-Za-z] " "" sym "${line}")
  list(APPEND names ${sym})
endforeach()
list(SORT names)
set(expected RP1210_ClientConnect RP1210_ClientDisconnect RP1210_GetErrorMsg RP1210_GetHardwareStatus
    RP1210_ReadMessage RP1210_ReadVersion RP1210_SendCommand RP1210_SendMessage)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "unexpected exports: ${names}")
endif()
