# The Windows program, its Win32 backend tests and the end-to-end tools.

add_compile_definitions(_WIN32_WINNT=${NOLVARA_WINNT} WINVER=${NOLVARA_WINNT} _WIN32_IE=0x0600
                        WIN32_LEAN_AND_MEAN NOMINMAX)
# The C++ runtime is linked in, so the program needs nothing beyond the system's DLLs.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
# Release builds optimise for size and drop unreferenced code, so the one-file program stays small:
# every update downloads it, and nothing it does each second is bound by its speed. The 32-bit
# build, the one updates download, also does without run-time type information (nothing asks a
# type at run time), aligns its stack to 4 bytes as Windows does, tests a switch's cases in
# turn rather than through a table, and makes a function's static without a lock: each one is
# made on the window's thread before any other thread can reach it (the Wi-Fi notices' mailboxes
# before the notices are registered for, the transfers' list of jobs before a worker starts).
# A static that another thread may reach must be made before that thread can.
string(APPEND CMAKE_CXX_FLAGS_RELEASE " -Oz -ffunction-sections -fdata-sections")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  string(APPEND CMAKE_CXX_FLAGS_RELEASE " -fno-rtti -mpreferred-stack-boundary=2 -fno-jump-tables -fno-threadsafe-statics")
endif()
add_link_options($<$<CONFIG:Release>:-Wl,--gc-sections>)

# The release key that updates must be signed with, built into the program.
set(NOLVARA_RELEASE_KEY ${CMAKE_SOURCE_DIR}/keys/update-release.pem)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NOLVARA_RELEASE_KEY})
file(READ ${NOLVARA_RELEASE_KEY} NOLVARA_RELEASE_KEY_C)
string(STRIP "${NOLVARA_RELEASE_KEY_C}" NOLVARA_RELEASE_KEY_C)
string(REPLACE "\n" "\\n" NOLVARA_RELEASE_KEY_C "${NOLVARA_RELEASE_KEY_C}")
configure_file(src/platform/win32/ReleaseKey.h.in ${CMAKE_BINARY_DIR}/generated/ReleaseKey.h @ONLY)

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(nolvara_win32 STATIC ${WIN32_SOURCES})
target_include_directories(nolvara_win32 PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(nolvara_win32 PUBLIC nolvara_logic advapi32 gdi32 user32 kernel32)
target_compile_options(nolvara_win32 PRIVATE ${WARNINGS})
# The window's controls (comctl32, which the hidden run never makes),
# signatures of updates (CryptoAPI's key decoding is crypt32's), the update
# check and download (WinINet, the system's own HTTP client), the folder
# browser and starting programs (shell32, ole32), echo requests and adapters
# (iphlpapi, whose Icmp* functions XP has there): the program loads these at
# their first use (cmake/DelayLoad.cmake); the tests and tools link them.
include(cmake/DelayLoad.cmake)

# The build number goes into the version resource, from the one place the
# program takes it from.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/core/ProgramState.h NOLVARA_BUILD_LINE
     REGEX "kProgramVersion = [0-9]+")
string(REGEX REPLACE ".*kProgramVersion = ([0-9]+).*" "\\1" NOLVARA_PROGRAM_BUILD "${NOLVARA_BUILD_LINE}")
if(NOT NOLVARA_PROGRAM_BUILD MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no single kProgramVersion in src/core/ProgramState.h")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/core/ProgramState.h)
set_source_files_properties(src/platform/win32/resources/nolvara.rc PROPERTIES
  COMPILE_DEFINITIONS NOLVARA_PROGRAM_BUILD=${NOLVARA_PROGRAM_BUILD})
# The icons, drawn by a script of the tree's own; the resource compiler finds
# them in the generated folder.
set(NOLVARA_ICONS ${CMAKE_BINARY_DIR}/generated/scan-off.ico ${CMAKE_BINARY_DIR}/generated/scan-on.ico)
add_custom_command(OUTPUT ${NOLVARA_ICONS}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make-icons ${CMAKE_BINARY_DIR}/generated
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/make-icons VERBATIM)
# One target draws them, for the program and for the tests that compare with them.
add_custom_target(nolvara_icons DEPENDS ${NOLVARA_ICONS})
set_property(SOURCE src/platform/win32/resources/nolvara.rc APPEND PROPERTY OBJECT_DEPENDS ${NOLVARA_ICONS}
             ${CMAKE_SOURCE_DIR}/src/platform/win32/resources/nolvara.manifest)
add_executable(P_nolvara WIN32 src/main_win32.cpp src/platform/win32/resources/nolvara.rc)
target_include_directories(P_nolvara PRIVATE ${CMAKE_BINARY_DIR}/generated)
add_dependencies(P_nolvara nolvara_delay_libraries nolvara_icons)
target_link_libraries(P_nolvara PRIVATE nolvara_win32 ${NOLVARA_DELAY_LIBRARIES} delayimp)
target_compile_options(P_nolvara PRIVATE ${WARNINGS})
set(NOLVARA_OUT ${CMAKE_SOURCE_DIR}/out/${CMAKE_SYSTEM_PROCESSOR})
set_target_properties(P_nolvara PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${NOLVARA_OUT})
foreach(config DEBUG RELEASE RELWITHDEBINFO MINSIZEREL)
  set_target_properties(P_nolvara PROPERTIES RUNTIME_OUTPUT_DIRECTORY_${config} ${NOLVARA_OUT})
endforeach()

# Checks that hold for both builds: the imports of the shipped program, and
# none of the DLLs it loads at first use among them.
add_test(NAME xp_imports
  COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/check-imports $<TARGET_FILE:P_nolvara>
          ${CMAKE_SOURCE_DIR}/tests/tools/xp-sp2-imports.txt ${CMAKE_OBJDUMP})
list(JOIN NOLVARA_DELAYED_DLLS "|" delayed_pattern)
add_test(NAME delayed_dlls_not_imported
  COMMAND bash -c "! ${CMAKE_OBJDUMP} -p \"$1\" | grep -iE 'DLL Name: (${delayed_pattern})\\.dll'"
          _ $<TARGET_FILE:P_nolvara>)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_test(NAME check_imports_selftest COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/check-imports-selftest.sh)
  add_test(NAME release_tools_selftest COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/release-tools-selftest.sh)
  # A release signed with a throwaway certificate, made from both programs.
  add_test(NAME codesign_selftest COMMAND bash ${CMAKE_SOURCE_DIR}/tests/tools/codesign-selftest.sh)
  # The stand-in for the wireless service, registered as WZCSVC by the backend
  # tests and the end-to-end scenarios in their own prefixes; never shipped.
  add_executable(wzc_standin tests/service/wzc_standin.cpp)
  target_compile_options(wzc_standin PRIVATE ${WARNINGS})
  target_link_libraries(wzc_standin PRIVATE advapi32 kernel32)
  set_target_properties(wzc_standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools)
  # The stand-in for the Native Wifi library, copied over the system's
  # wlanapi.dll in the test prefixes; never shipped.
  add_library(wlanapi_standin SHARED tests/wlan/wlanapi_standin.cpp)
  target_compile_options(wlanapi_standin PRIVATE ${WARNINGS})
  target_link_libraries(wlanapi_standin PRIVATE kernel32 rpcrt4)
  set_target_properties(wlanapi_standin PROPERTIES OUTPUT_NAME wlanapi PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools/lib)

  # A DLL that the planting scenario leaves beside the program under system
  # DLLs' names; never shipped.
  add_library(nolvara_planted SHARED tests/e2e/planted/planted_dll.cpp)
  target_compile_options(nolvara_planted PRIVATE ${WARNINGS})
  target_link_libraries(nolvara_planted PRIVATE kernel32)
  set_target_properties(nolvara_planted PROPERTIES PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools/lib)

  # Backend tests on real HWNDs, the registry and so on, run under Wine.
  file(GLOB WIN32_TEST_SOURCES CONFIGURE_DEPENDS tests/win32/*.cpp)
  if(WIN32_TEST_SOURCES)
    add_executable(win32_tests ${WIN32_TEST_SOURCES})
    # The HTTP tests serve from a loopback socket of their own.
    target_link_libraries(win32_tests PRIVATE nolvara_win32 ${NOLVARA_DELAYED_DLLS} ws2_32 nolvara_fakes gtest_main)
    target_compile_options(win32_tests PRIVATE ${WARNINGS})
    # The service tests register the stand-in from this path below their own folder.
    add_dependencies(win32_tests wzc_standin wlanapi_standin nolvara_icons)
    target_compile_definitions(win32_tests PRIVATE NOLVARA_WZC_STANDIN="e2e-tools/wzc_standin.exe"
                                                   NOLVARA_WLAN_STANDIN="e2e-tools/wlanapi.dll"
                                                   NOLVARA_ICONS="generated/")
    # Key pairs and signatures of the run's own, made as the release tools make them.
    add_test(NAME win32_test_signatures
      COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/make-test-signatures ${CMAKE_BINARY_DIR}/test-signatures)
    set_tests_properties(win32_test_signatures PROPERTIES FIXTURES_SETUP test_signatures)
    add_test(NAME win32_tests COMMAND ${CMAKE_SOURCE_DIR}/tests/tools/wine-run $<TARGET_FILE:win32_tests>)
    # Wine creates no top-level window without a display; it reaches the
    # signatures through its drive Z:, the whole Unix file system.
    set_tests_properties(win32_tests PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED test_signatures
      ENVIRONMENT "NOLVARA_XVFB=1;NOLVARA_SIGNATURES=Z:${CMAKE_BINARY_DIR}/test-signatures")
  endif()

  # Programs of the tests' own that drive the real program from outside.
  file(GLOB E2E_TOOL_SOURCES CONFIGURE_DEPENDS tests/e2e/tools/*.cpp)
  foreach(tool_source ${E2E_TOOL_SOURCES})
    get_filename_component(tool ${tool_source} NAME_WE)
    add_executable(${tool} ${tool_source})
    target_compile_options(${tool} PRIVATE ${WARNINGS})
    target_link_libraries(${tool} PRIVATE user32 kernel32 advapi32)
    # The footprint benchmark's yardstick is a windowed program, as the program is.
    if(tool STREQUAL "nolvara_idle")
      set_target_properties(${tool} PROPERTIES WIN32_EXECUTABLE TRUE)
    endif()
    # The adapter tool prints the program's own adapter list.
    if(tool STREQUAL "nolvara_adapters")
      target_link_libraries(${tool} PRIVATE nolvara_win32 ${NOLVARA_DELAYED_DLLS})
    endif()
    target_include_directories(${tool} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${tool} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e-tools)
  endforeach()

  file(GLOB E2E_SCENARIOS CONFIGURE_DEPENDS tests/e2e/*.sh)
  list(FILTER E2E_SCENARIOS EXCLUDE REGEX "/lib\\.sh$")
  foreach(scenario ${E2E_SCENARIOS})
    get_filename_component(name ${scenario} NAME_WE)
    add_test(NAME e2e_${name} COMMAND bash ${scenario})
    set_tests_properties(e2e_${name} PROPERTIES TIMEOUT 300
      ENVIRONMENT "NOLVARA_EXE=${NOLVARA_OUT}/P_nolvara.exe;NOLVARA_TOOLS=${CMAKE_BINARY_DIR}/e2e-tools;NOLVARA_BUILD=${CMAKE_SOURCE_DIR}/build")
  endforeach()
  # The lag test alone takes two minutes; it goes first, beside the others.
  if(TEST e2e_lag_meter)
    set_tests_properties(e2e_lag_meter PROPERTIES TIMEOUT 480 COST 1000)
  endif()
endif()
