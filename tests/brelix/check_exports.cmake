# Fails unless the dynamic symbol table of LIBRARY defines exactly the eight
# Brelix functions. Run as: cmake -DNM=<nm> -DLIBRARY=<path> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
list(TRANSFORM names STRIP)
list(SORT names)
set(expected GetAllFramesSize GetBytesOneSec GetFramesBegin GetFramesEnd GetMusicTime GetSmaplesRate
    InitTagObject UnInitTagObject)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} defines:\n${listing}expected exactly: ${expected}")
endif()
