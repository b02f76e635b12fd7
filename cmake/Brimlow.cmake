# Helpers shared by every folder.

# What every test runs with: no display, the tests' own fonts (only the
# DejaVu faces that scripts/setup installs, so the machine's other fonts
# change no result), and the leaks of the system's libraries set aside.
set(BRIMLOW_TEST_FONTS "${PROJECT_BINARY_DIR}/tests/fonts.conf")
set(BRIMLOW_FONT_CACHE "${PROJECT_BINARY_DIR}/tests/fontcache")
configure_file("${PROJECT_SOURCE_DIR}/tests/fonts/fonts.conf.in" "${BRIMLOW_TEST_FONTS}" @ONLY)
set(BRIMLOW_TEST_ENV
  "QT_QPA_PLATFORM=offscreen"
  "FONTCONFIG_FILE=${BRIMLOW_TEST_FONTS}"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
# Scratch files in memory where the machine has it: the kill and crash
# tests sync hundreds of times, and a disk that other work keeps busy would
# set their pace. A kill leaves the same files there as on a disk.
if(IS_DIRECTORY /dev/shm)
  list(APPEND BRIMLOW_TEST_ENV "TMPDIR=/dev/shm")
endif()

# brimlow_test(NAME <name> LABEL <subsystem> SOURCES ... [LIBS ...] [TSAN]
#              [CASES_PER_PROCESS <n>])
# One GoogleTest program. Its cases run in processes of up to n cases of one
# suite (10 unless given; 1 for programs whose cases each take seconds, so
# that each keeps its own time-out and they run side by side); see
# cmake/TestCases.cmake.
# TSAN marks a program whose threads are checked again in the
# ThreadSanitizer build (BRIMLOW_TSAN), which registers only those and
# builds them through the target tsan_tests.
function(brimlow_test)
  cmake_parse_arguments(T "GUI;TSAN" "NAME;LABEL;CASES_PER_PROCESS" "SOURCES;LIBS" ${ARGN})
  if(NOT T_CASES_PER_PROCESS)
    set(T_CASES_PER_PROCESS 10)
  endif()
  if(BRIMLOW_TSAN AND NOT T_TSAN)
    # Kept as a target (others may depend on it) but neither built nor run.
    add_executable(${T_NAME} EXCLUDE_FROM_ALL ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  if(BRIMLOW_TSAN)
    add_dependencies(tsan_tests ${T_NAME})
  endif()
  if(BRIMLOW_TSAN)
    set(T_LABEL tsan)  # one label only: discovered tests take no lists
  endif()
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    BRIMLOW_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    BRIMLOW_BINARY_DIR="${PROJECT_BINARY_DIR}")
  brimlow_test_cases(${T_NAME} LABEL ${T_LABEL} CASES_PER_PROCESS ${T_CASES_PER_PROCESS})
endfunction()

# brimlow_test_cases(<target> LABEL <label> CASES_PER_PROCESS <n> [PREFIX <p>])
# The ctest tests of a GoogleTest program, listed from the program each time
# it is linked (in the build's parallel steps, not one by one when ctest
# starts); PREFIX goes before each test's name.
function(brimlow_test_cases target)
  cmake_parse_arguments(C "" "LABEL;CASES_PER_PROCESS;PREFIX" "" ${ARGN})
  set(list_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_cases.cmake")
  set(include_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake")
  string(REPLACE ";" "|" env "${BRIMLOW_TEST_ENV}")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} "-DEXE=$<TARGET_FILE:${target}>" "-DOUT=${list_file}"
      "-DCHUNK=${C_CASES_PER_PROCESS}" "-DLABEL=${C_LABEL}" -DTIMEOUT=120
      "-DDIR=${CMAKE_CURRENT_BINARY_DIR}" "-DPREFIX=${C_PREFIX}" "-DENV=${env}"
      -P ${PROJECT_SOURCE_DIR}/cmake/TestCases.cmake
    VERBATIM)
  file(WRITE "${include_file}"
"if(EXISTS \"${list_file}\")
  include(\"${list_file}\")
else()
  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()

# brimlow_fuzz(NAME <name> LABEL <subsystem> SOURCES ... [LIBS ...] CORPUS <dir>)
# The fuzz entry point is always built into a replay test that feeds it every
# file of the committed corpus; with BRIMLOW_FUZZ on clang it is also built
# as a libFuzzer program.
function(brimlow_fuzz)
  cmake_parse_arguments(F "" "NAME;LABEL;CORPUS" "SOURCES;LIBS" ${ARGN})
  # The fuzz build (scripts/fuzz) turns the tests off: a target defined
  # under tests/ would be missing there.
  string(FIND "${CMAKE_CURRENT_SOURCE_DIR}/" "${PROJECT_SOURCE_DIR}/tests/" _under_tests)
  if(_under_tests EQUAL 0)
    message(FATAL_ERROR "fuzz target ${F_NAME}: define it beside the code it feeds, not under tests/")
  endif()
  # The replay driver is compiled once for all targets.
  if(NOT TARGET brimlow_fuzz_replay)
    add_library(brimlow_fuzz_replay OBJECT ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  endif()
  add_executable(${F_NAME}_replay ${F_SOURCES} $<TARGET_OBJECTS:brimlow_fuzz_replay>)
  target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS})
  if(BRIMLOW_TESTS AND NOT BRIMLOW_TSAN)
    add_test(NAME fuzz_corpus.${F_NAME} COMMAND ${F_NAME}_replay ${F_CORPUS})
    set_tests_properties(fuzz_corpus.${F_NAME} PROPERTIES LABELS "fuzz;${F_LABEL}"
      ENVIRONMENT "${BRIMLOW_TEST_ENV}")
  endif()
  if(BRIMLOW_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${F_NAME}_fuzz ${F_SOURCES})
    target_compile_options(${F_NAME}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME}_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${F_NAME}_fuzz PRIVATE ${F_LIBS})
  endif()
endfunction()

# brimlow_library(<name> [OBJECT] SOURCES ... [LIBS ...]
#                  [FUZZ <target> <entry-point source> ... LABEL <subsystem>])
# A static (or object) library of the tree with the tree's root on its include
# path and its links public, and the fuzz entry points that feed it: each
# <target> gets its corpus replay test from fuzz/corpus/<target> (see
# brimlow_fuzz).
function(brimlow_library name)
  cmake_parse_arguments(L "OBJECT" "LABEL" "SOURCES;LIBS;FUZZ" ${ARGN})
  if(L_OBJECT)
    add_library(${name} OBJECT ${L_SOURCES})
  else()
    add_library(${name} STATIC ${L_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(L_LIBS)
    target_link_libraries(${name} PUBLIC ${L_LIBS})
  endif()
  list(LENGTH L_FUZZ _count)
  math(EXPR _odd "${_count} % 2")
  if(_odd OR (_count AND NOT L_LABEL))
    message(FATAL_ERROR "brimlow_library(${name}): FUZZ takes pairs of target and source, and a LABEL")
  endif()
  while(L_FUZZ)
    list(POP_FRONT L_FUZZ _target _source)
    brimlow_fuzz(NAME ${_target} LABEL ${L_LABEL}
      SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${_source}
      LIBS ${name}
      CORPUS ${PROJECT_SOURCE_DIR}/fuzz/corpus/${_target})
  endwhile()
endfunction()

# brimlow_exports(<target> <version-script>): a shared library exports only
# the names in its version script.
function(brimlow_exports target script)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE "-Wl,--version-script=${script}")
endfunction()

# Adds every direct subfolder that has a CMakeLists.txt, in name order, so a
# new component needs no edit of its parent.
macro(brimlow_add_subdirs)
  file(GLOB _brimlow_children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _brimlow_children)
  foreach(_child ${_brimlow_children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_child}/CMakeLists.txt)
      add_subdirectory(${_child})
    endif()
  endforeach()
endmacro()
