# cmake -DCHECK=<check_layers.cmake> -DWORK=<scratch folder> -P check_layers_test.cmake
# The layer check against small trees of one file each: the includes it
# must refuse and the ones it must let through.
if(NOT CHECK OR NOT WORK)
  message(FATAL_ERROR "CHECK and WORK must be given")
endif()

# file | its include line | passes
set(cases
  "charges/dialogs/a.h|#include \"app/lists/b.h\"|no"
  "phonebook/a.cpp|#include \"app/view/b.h\"|no"
  "plugins/common/a.cpp|#include \"app/plugins/b.h\"|no"
  "print/a.cpp|#include \"app/dialogs/b.h\"|no"
  "core/callhandler/a.cpp|#include \"phonebook/iface/b.h\"|no"
  "netlink/a.cpp|#include \"charges/b.h\"|no"
  "libs/texts/a.cpp|#include \"print/b.h\"|no"
  "ui/a.h|#include \"charges/b.h\"|no"
  "platform/a.cpp|#include \"core/base/b.h\"|no"
  "platform/net/a.cpp|#include \"ui/b.h\"|no"
  "core/a.cpp|#include <app/b.h>|no"
  "core/a.cpp|  #  include \"app/b.h\"|no"
  "core/a.cpp|#include \"../app/b.h\"|no"
  "app/view/a.cpp|#include \"charges/b.h\"|yes"
  "app/a.cpp|#include \"app/b.h\"|yes"
  "charges/a.cpp|#include \"print/b.h\"|yes"
  "charges/a.cpp|#include \"core/b.h\"|yes"
  "core/a.cpp|#include \"netlink/b.h\"|yes"
  "ui/a.cpp|#include \"platform/dialogkit/b.h\"|yes"
  "core/a.cpp|#include <string>|yes"
  "core/a.cpp|#include \"b.h\"|yes"
  "core/a.cpp|// #include \"app/b.h\"|yes"
  "tests/core/a.cpp|#include \"app/b.h\"|yes"
  "tools/a.cpp|#include \"charges/b.h\"|yes"
)

set(failed 0)
set(n 0)
foreach(case ${cases})
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  list(GET parts 2 passes)
  math(EXPR n "${n} + 1")
  set(tree ${WORK}/case${n})
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/${file} "${line}\nint x;\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CHECK}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    set(got yes)
  else()
    set(got no)
  endif()
  if(NOT got STREQUAL passes)
    message("${file} with '${line}': passes ${got}, should ${passes}\n${out}")
    math(EXPR failed "${failed} + 1")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()

# A clean file beside a bad one: the bad one is still found, and named.
set(tree ${WORK}/mixed)
file(REMOVE_RECURSE ${tree})
file(WRITE ${tree}/core/good.cpp "#include \"platform/a.h\"\n")
file(WRITE ${tree}/core/sub/bad.h "#include \"platform/a.h\"\n#include \"charges/x/y.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CHECK}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "core/sub/bad.h: charges/x/y.h" OR out MATCHES "good.cpp")
  message("mixed tree: rc ${rc}\n${out}")
  math(EXPR failed "${failed} + 1")
endif()
file(REMOVE_RECURSE ${tree})

if(failed GREATER 0)
  message(FATAL_ERROR "${failed} case(s) of the layer check failed")
endif()
