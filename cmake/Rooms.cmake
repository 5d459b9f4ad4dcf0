# The program's rooms: each folder of src/ is a static library that links only the rooms it uses.
# A room may include the headers of the rooms it links, directly or through them, and no others;
# the build checks every source file before it compiles anything (CheckRooms.cmake).

set(ROOMS_TABLE ${CMAKE_BINARY_DIR}/rooms.txt)
file(WRITE ${ROOMS_TABLE} "")
set_property(GLOBAL PROPERTY MORVELDAN_ROOMS "")

# morveldan_room(NAME [USES ROOM...] [LIBRARIES LIB...]): the library morveldan_NAME of the
# sources in src/NAME/, linking the rooms it uses and the outside libraries it needs.
function(morveldan_room name)
  cmake_parse_arguments(ROOM "" "" "USES;LIBRARIES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
  add_library(morveldan_${name} STATIC ${sources})
  target_include_directories(morveldan_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src
                                                      ${CMAKE_SOURCE_DIR}/include)
  set(reachable ${ROOM_USES})
  foreach(used IN LISTS ROOM_USES)
    target_link_libraries(morveldan_${name} PUBLIC morveldan_${used})
    get_property(below GLOBAL PROPERTY MORVELDAN_ROOM_REACHES_${used})
    list(APPEND reachable ${below})
  endforeach()
  list(REMOVE_DUPLICATES reachable)
  set_property(GLOBAL PROPERTY MORVELDAN_ROOM_REACHES_${name} ${reachable})
  set_property(GLOBAL APPEND PROPERTY MORVELDAN_ROOMS ${name})
  target_link_libraries(morveldan_${name} PUBLIC ${ROOM_LIBRARIES})
  add_dependencies(morveldan_${name} check_rooms)
  list(JOIN reachable " " reachableText)
  file(APPEND ${ROOMS_TABLE} "${name}: ${reachableText}\n")
endfunction()

# The check runs whenever a source file of a room or the table changes.
function(morveldan_check_rooms)
  get_property(rooms GLOBAL PROPERTY MORVELDAN_ROOMS)
  set(files)
  foreach(room IN LISTS rooms)
    file(GLOB roomFiles CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${room}/*)
    list(APPEND files ${roomFiles})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/rooms-checked.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/src -DROOMS_TABLE=${ROOMS_TABLE}
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckRooms.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${files} ${ROOMS_TABLE} ${CMAKE_SOURCE_DIR}/cmake/CheckRooms.cmake
    COMMENT "Checking that every room includes only the rooms it links")
  add_custom_target(check_rooms DEPENDS ${stamp})
endfunction()
