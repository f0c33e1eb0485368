# Fails unless every program and DLL in FOLDER imports only DLLs that come
# with Windows (the C and C++ runtimes are linked in, not shipped beside).
# Run as: cmake -DOBJDUMP=<objdump> -DFOLDER=<program folder> -P check_imports.cmake
cmake_policy(SET CMP0057 NEW)
set(system_dlls kernel32.dll user32.dll gdi32.dll shell32.dll advapi32.dll ole32.dll oleaut32.dll msvcrt.dll
    wininet.dll ws2_32.dll dsound.dll winmm.dll comctl32.dll gdiplus.dll uxtheme.dll version.dll)
# The programs stand at the top of the folder; the catalogue there, the skin
# archive in skin/ and the player's downloads in cache/ keep .dll names but
# are no programs.
file(GLOB binaries ${FOLDER}/*.exe ${FOLDER}/*.dll)
list(FILTER binaries EXCLUDE REGEX "/datams\\.dll$")
foreach(binary IN LISTS binaries)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the imports of ${binary}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${listing}")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST system_dlls)
      message(FATAL_ERROR "${binary} imports ${dll}, which does not come with Windows")
    endif()
  endforeach()
endforeach()
