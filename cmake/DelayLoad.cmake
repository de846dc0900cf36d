# System DLLs that only some runs need (the window's controls, updates,
# dialogs, starting programs) are loaded at their first call instead of at
# the start: the hidden run, which runs all day, then never carries them. mingw-w64's delay-load helper
# does the loading, through the program's hook that loads each from the
# system folder by full path; dlltool makes the import libraries. iphlpapi
# is among them although every probe needs it: it is no known DLL, and a
# static import of it would be looked for beside the program first.
#
# Each library offers exactly the functions that the checked list of XP's
# imports allows for its DLL, so a call of anything else fails to link: the
# same guard that the import check gives the program's other imports.
set(NOLVARA_DELAYED_DLLS comctl32 comdlg32 crypt32 iphlpapi ole32 shell32 wininet)

string(REGEX REPLACE "g\\+\\+(-win32)?$" "dlltool" NOLVARA_DLLTOOL "${CMAKE_CXX_COMPILER}")
string(REGEX REPLACE "g\\+\\+(-win32)?$" "nm" NOLVARA_NM "${CMAKE_CXX_COMPILER}")
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/tools/xp-sp2-imports.txt NOLVARA_ALLOWED_IMPORTS
     REGEX "^[a-z0-9_]+\\.dll ")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/tests/tools/xp-sp2-imports.txt)

set(NOLVARA_DELAY_LIBRARIES)
# On i686 the DLLs export the names without the stdcall size.
set(kill_at)
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(kill_at -k)
endif()
foreach(dll ${NOLVARA_DELAYED_DLLS})
  # The names as the system's import library declares them: on i686 with
  # their stdcall size (Name@N), which the .def must carry.
  find_library(NOLVARA_IMPORT_${dll} ${dll} REQUIRED)
  execute_process(COMMAND ${NOLVARA_NM} ${NOLVARA_IMPORT_${dll}}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  set(exports "")
  foreach(line ${NOLVARA_ALLOWED_IMPORTS})
    if(NOT line MATCHES "^${dll}\\.dll ([A-Za-z0-9_]+)( (x86_64|i386))?$")
      continue()
    endif()
    set(name ${CMAKE_MATCH_1})
    if(CMAKE_MATCH_3 AND NOT ((CMAKE_MATCH_3 STREQUAL "x86_64") EQUAL (CMAKE_SIZEOF_VOID_P EQUAL 8)))
      continue()
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      string(APPEND exports "${name}\n")
    elseif(symbols MATCHES "__imp__(${name}@[0-9]+)")
      string(APPEND exports "${CMAKE_MATCH_1}\n")
    else()
      message(FATAL_ERROR "${dll}.dll ${name}: not in ${NOLVARA_IMPORT_${dll}}")
    endif()
  endforeach()
  set(def ${CMAKE_BINARY_DIR}/delay/${dll}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay/lib${dll}_delayed.a)
  file(WRITE ${def}.new "LIBRARY ${dll}.dll\nEXPORTS\n${exports}")
  configure_file(${def}.new ${def} COPYONLY)
  add_custom_command(OUTPUT ${lib}
    COMMAND ${NOLVARA_DLLTOOL} ${kill_at} -d ${def} -D ${dll}.dll -y ${lib}
    DEPENDS ${def} VERBATIM)
  list(APPEND NOLVARA_DELAY_LIBRARIES ${lib})
endforeach()
add_custom_target(nolvara_delay_libraries DEPENDS ${NOLVARA_DELAY_LIBRARIES})
