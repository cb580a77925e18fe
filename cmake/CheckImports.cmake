cmake_minimum_required(VERSION 3.25)
# Fails unless the Windows binary FILE imports only DLLs every Windows system has, so
# that it runs where it is copied with nothing beside it:
#   cmake -DOBJDUMP=... -DFILE=... -P CheckImports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read ${FILE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(system_dlls kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll comdlg32.dll
                ole32.dll oleaut32.dll wininet.dll version.dll psapi.dll)
foreach(entry ${names})
  string(REPLACE "DLL Name: " "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  if(NOT lower IN_LIST system_dlls)
    message(FATAL_ERROR "${FILE} imports ${dll}, which does not come with Windows")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
