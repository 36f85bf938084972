# Window tests: one executable per unit, linked with the window test support
# (which holds their shared wx main, tests/ui/WindowTestMain.cpp), run as one
# CTest test under a private X server. They exist only when the window
# program is built. Like every test they put the pieces together themselves,
# so they see the platform too.
function(quillet_add_window_test target)
  if(NOT QUILLET_UI)
    return()
  endif()
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE quillet_window_test_support)
  add_test(NAME ${target}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-test.sh $<TARGET_FILE:${target}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
endfunction()
