# Fails unless the dynamic symbol table (ELF) or export table (PE) of LIBRARY
# names exactly the eight Brelix functions.
# Run as: cmake -DNM=<nm> -DOBJDUMP=<objdump> -DLIBRARY=<path> -P check_exports.cmake
if(LIBRARY MATCHES "\\.dll$")
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  # The export table lists each name as "[ ordinal] name" after its heading.
  string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table\n" "" listing "${listing}")
  string(REGEX REPLACE "\n\n.*" "\n" listing "${listing}")
  string(REGEX REPLACE "[ \t]*\\[[ 0-9]+\\] " "" listing "${listing}")
else()
  execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list the exports of ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
list(TRANSFORM names STRIP)
list(SORT names)
set(expected GetAllFramesSize GetBytesOneSec GetFramesBegin GetFramesEnd GetMusicTime GetSmaplesRate
    InitTagObject UnInitTagObject)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} exports:\n${listing}expected exactly: ${expected}")
endif()
