# libFuzzer targets over the program logic, one per parser of outside input
# (tests/fuzz/*.cpp). Every object they link carries the sanitizers, so this
# wants a build directory of its own; `make fuzz` configures build/fuzz.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "NOLVARA_FUZZ needs clang (libFuzzer); configure with "
                      "-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14")
endif()

# Undefined behaviour must stop the run, or libFuzzer never hears of it; the
# library's assertions catch reads past a string's end that stay inside the
# small-string buffer, where AddressSanitizer sees nothing.
set(FUZZ_CHECKS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS)
foreach(library nolvara_logic nolvara_fakes)
  target_compile_options(${library} PRIVATE -fsanitize=fuzzer-no-link ${FUZZ_CHECKS})
endforeach()

# The host tests would be built with the sanitizers too, for nothing.
if(TARGET host_tests)
  set_target_properties(host_tests PROPERTIES EXCLUDE_FROM_ALL ON)
endif()

add_custom_target(fuzzers)
file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS tests/fuzz/*.cpp)
foreach(source ${FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE nolvara_fakes)
  target_compile_options(fuzz_${name} PRIVATE ${WARNINGS} -fsanitize=fuzzer ${FUZZ_CHECKS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  add_dependencies(fuzzers fuzz_${name})
endforeach()
