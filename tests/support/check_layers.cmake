# cmake -DROOT=<source tree> -P check_layers.cmake
# The rooms of the tree stand in layers; a file includes from its own layer
# and the ones below, never from above. Fails with one line per include
# that points upwards, and for an include that climbs out of its folder
# with "..", which would hide where it points.
if(NOT ROOT)
  message(FATAL_ERROR "ROOT not given")
endif()

# From the ground up.
set(layer_platform 1)
foreach(room core netlink libs ui)
  set(layer_${room} 2)
endforeach()
foreach(room charges phonebook print plugins)
  set(layer_${room} 3)
endforeach()
set(layer_app 4)
set(rooms platform core netlink libs ui charges phonebook print plugins app)

set(bad 0)
foreach(room ${rooms})
  file(GLOB_RECURSE sources RELATIVE ${ROOT}
    ${ROOT}/${room}/*.h ${ROOT}/${room}/*.hpp ${ROOT}/${room}/*.c ${ROOT}/${room}/*.cc
    ${ROOT}/${room}/*.cpp ${ROOT}/${room}/*.inc)
  foreach(source ${sources})
    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*)[\">].*$" "\\1" target "${line}")
      if(target MATCHES "(^|/)\\.\\./")
        message("${source}: ${target}: names its folder from the tree's root instead")
        math(EXPR bad "${bad} + 1")
        continue()
      endif()
      string(REGEX REPLACE "/.*$" "" top "${target}")
      if(NOT target MATCHES "/" OR NOT DEFINED layer_${top})
        continue()
      endif()
      if(layer_${top} GREATER layer_${room})
        message("${source}: ${target}: ${top}/ stands above ${room}/")
        math(EXPR bad "${bad} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(bad GREATER 0)
  message(FATAL_ERROR "${bad} include(s) point upwards")
endif()
