# The floors. A folder is one floor's, and its sources see their own floor
# and the floors below, never one above or beside:
#
#   programs  app/, tools/, farsend/*, tests, bench, fuzz: see what they link
#   windows   ui/         quillet_ui        sees logic and ground
#   platform  platform/   quillet_platform  sees logic and ground
#   logic     scan/ ...   quillet_core      sees its own floor and the ground
#   ground    base/ ...   quillet_ground    sees the ground
#
# Each floor gets an include root in the build folder, made of links to its
# own folders; a target sees the roots of the floors it links, so a source
# keeps writing "scan/Scanner.h" and a header above its floor simply is not
# there. Adding a folder to a floor is one line in its list.
set(QUILLET_GROUND_FOLDERS
  base
  engine
  res)
set(QUILLET_LOGIC_FOLDERS
  scan
  repair
  tree
  controls
  schedule)
# The engine host's wire format is the platform's, beside the engine binding.
set(QUILLET_PLATFORM_FOLDERS
  platform
  farsend)
set(QUILLET_WINDOW_FOLDERS
  ui)

set(QUILLET_GROUND_ROOT ${CMAKE_BINARY_DIR}/layers/ground)
set(QUILLET_LOGIC_ROOT ${CMAKE_BINARY_DIR}/layers/logic)
set(QUILLET_PLATFORM_ROOT ${CMAKE_BINARY_DIR}/layers/platform)
set(QUILLET_WINDOW_ROOT ${CMAKE_BINARY_DIR}/layers/ui)

function(quillet_layer_root root)
  file(MAKE_DIRECTORY ${root})
  # A folder dropped from the list must not linger from an earlier configure;
  # removing a link leaves the folder it points to alone.
  file(GLOB arOld LIST_DIRECTORIES true ${root}/*)
  foreach(old ${arOld})
    get_filename_component(name ${old} NAME)
    if(NOT name IN_LIST ARGN)
      file(REMOVE ${old})
    endif()
  endforeach()
  foreach(folder ${ARGN})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC RESULT nResult)
    if(NOT nResult EQUAL 0)
      message(FATAL_ERROR "cannot link ${root}/${folder}: ${nResult}")
    endif()
  endforeach()
endfunction()

quillet_layer_root(${QUILLET_GROUND_ROOT} ${QUILLET_GROUND_FOLDERS})
quillet_layer_root(${QUILLET_LOGIC_ROOT} ${QUILLET_LOGIC_FOLDERS})
quillet_layer_root(${QUILLET_PLATFORM_ROOT} ${QUILLET_PLATFORM_FOLDERS})
quillet_layer_root(${QUILLET_WINDOW_ROOT} ${QUILLET_WINDOW_FOLDERS})

# Proof that the roots hold: a probe is one source built with a layer's
# flags. It first includes a header the layer may see, then one it must not;
# its test builds it alone and passes only when the compiler stops at the
# second, reporting `missing` (that header, or one it includes) not found.
#   quillet_add_layer_probe(NAME LAYER_TARGET SEEN FORBIDDEN MISSING)
function(quillet_add_layer_probe name layer seen forbidden missing)
  set(source ${CMAKE_BINARY_DIR}/layer_probes/${name}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${seen}\"\n#include \"${forbidden}\"\n")
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${name} PRIVATE ${layer})
  string(REPLACE "." "\\." rxMissing ${missing})
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
  # The error must name `missing` as the header not found: a forbidden header
  # that is found but stops at a header of its own (wx, say) proves nothing
  # of the root. gcc says "error: X: No such file or directory", clang
  # "error: 'X' file not found".
  set_tests_properties(${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "error: '?${rxMissing}'?:? (No such file or directory|file not found)"
    RESOURCE_LOCK quillet_build_folder
    TIMEOUT 120)
endfunction()
