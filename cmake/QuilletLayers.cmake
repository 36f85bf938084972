# The layers are carried by the targets, not by the folders: a subsystem
# folder holds logic and windows side by side, so each layer gets an include
# root of its own in the build folder, made of links to the folders it may
# see. A layer's sources keep writing "scan/Scanner.h"; a header outside its
# root simply is not there.
#
#   logic     quillet_core and quillet_ui: everything but platform/
#   platform  quillet_platform, and through it the programs that put the
#             pieces together (the quillet executable, tools, tests,
#             benchmarks): platform/ and the engine host's wire format
set(QUILLET_LOGIC_ROOT ${CMAKE_BINARY_DIR}/layers/logic)
set(QUILLET_PLATFORM_ROOT ${CMAKE_BINARY_DIR}/layers/platform)

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

quillet_layer_root(${QUILLET_LOGIC_ROOT} engine scan repair controls tree app res schedule)
quillet_layer_root(${QUILLET_PLATFORM_ROOT} platform farsend)

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
  # gcc says "No such file or directory", clang "file not found".
  set_tests_properties(${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${rxMissing}[^\n]*(No such file or directory|file not found)"
    RESOURCE_LOCK quillet_build_folder
    TIMEOUT 120)
endfunction()
