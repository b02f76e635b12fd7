# Run after a GoogleTest program is linked (cmake -P, with the arguments of
# brimlow_list_cases as -D variables, ENV joined by "|"): lists its cases and
# writes the ctest tests that run them. Each process runs up to <chunk>
# cases of one suite; starting a sanitized Qt process costs more than most
# cases, so a process per case made the start-ups the bulk of the suite.
# A suite that fits in one process is the test "<Suite>.*"; a larger one is
# split into "<Suite>.*:<first>-<last>"; with chunk 1 every case is a test
# of its own, named "<Suite>.<case>", as is the one case of a suite.
#
# brimlow_list_cases(EXE <path> OUT <file> CHUNK <n> LABEL <label>
#                    TIMEOUT <s> DIR <working dir> [PREFIX <p>] ENV <VAR=value>...)
function(brimlow_list_cases)
  cmake_parse_arguments(A "" "EXE;OUT;CHUNK;LABEL;TIMEOUT;DIR;PREFIX" "ENV" ${ARGN})
  execute_process(
    COMMAND /usr/bin/env ${A_ENV} "${A_EXE}" --gtest_list_tests
    WORKING_DIRECTORY "${A_DIR}"
    TIMEOUT 60
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "listing the cases of ${A_EXE} failed (${rc}):\n${out}\n${err}")
  endif()
  # Only names matter; a parameter's printout after "#" may hold list syntax.
  string(REGEX REPLACE "[;\\[\\]]" "," out "${out}")
  string(REPLACE "\n" ";" lines "${out}")

  set(suites "")
  set(suite "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE " *#.*$" "" line "${line}")
    if(line MATCHES "^([^ ].*)\\.$")
      set(suite "${CMAKE_MATCH_1}")
      list(APPEND suites "${suite}")
      set("cases_${suite}" "")
    elseif(suite AND line MATCHES "^  ([^ ]+)$")
      list(APPEND "cases_${suite}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()

  set(script "")
  set(total 0)
  foreach(suite IN LISTS suites)
    set(cases ${cases_${suite}})
    list(LENGTH cases count)
    if(count EQUAL 0)
      continue()
    endif()
    math(EXPR total "${total} + ${count}")
    math(EXPR final "${count} - 1")
    set(first 0)
    while(first LESS count)
      math(EXPR last "${first} + ${A_CHUNK} - 1")
      if(last GREATER_EQUAL count)
        math(EXPR last "${count} - 1")
      endif()
      set(skip "")
      if(A_CHUNK EQUAL 1 OR count EQUAL 1)
        list(GET cases ${first} only)
        set(name "${suite}.${only}")
        set(filter "${name}")
        # Only a test of one case may report a skip: in a group a skip
        # would hide the others' failures.
        set(skip " SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==]")
      elseif(first EQUAL 0 AND last EQUAL final)
        set(name "${suite}.*")
        set(filter "${suite}.*")
      else()
        math(EXPR from "${first} + 1")
        math(EXPR to "${last} + 1")
        set(name "${suite}.*:${from}-${to}")
        set(filter "")
        foreach(i RANGE ${first} ${last})
          list(GET cases ${i} one)
          string(APPEND filter ":${suite}.${one}")
        endforeach()
        string(SUBSTRING "${filter}" 1 -1 filter)
      endif()
      set(name "${A_PREFIX}${name}")
      set(command "/usr/bin/env")
      foreach(e IN LISTS A_ENV)
        string(APPEND command " [==[${e}]==]")
      endforeach()
      string(APPEND script
        "add_test([==[${name}]==] ${command} [==[${A_EXE}]==] [==[--gtest_filter=${filter}]==])\n"
        "set_tests_properties([==[${name}]==] PROPERTIES LABELS [==[${A_LABEL}]==] "
        "TIMEOUT ${A_TIMEOUT} WORKING_DIRECTORY [==[${A_DIR}]==]${skip})\n")
      math(EXPR first "${last} + 1")
    endwhile()
  endforeach()
  if(total EQUAL 0)
    message(FATAL_ERROR "${A_EXE} lists no case")
  endif()
  file(WRITE "${A_OUT}.new" "${script}")
  file(RENAME "${A_OUT}.new" "${A_OUT}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  string(REPLACE "|" ";" ENV "${ENV}")
  brimlow_list_cases(EXE "${EXE}" OUT "${OUT}" CHUNK "${CHUNK}" LABEL "${LABEL}"
    TIMEOUT "${TIMEOUT}" DIR "${DIR}" PREFIX "${PREFIX}" ENV ${ENV})
endif()
