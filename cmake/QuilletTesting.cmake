# Window tests: one executable per unit, linked with the shared wx test main
# (tests/ui/WindowTestMain.cpp), run as one CTest test under a private X
# server. They exist only when the window program is built.
function(quillet_add_window_test target)
  if(NOT QUILLET_UI)
    return()
  endif()
  add_executable(${target} ${ARGN} ${CMAKE_SOURCE_DIR}/tests/ui/WindowTestMain.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE quillet_ui GTest::gtest)
  add_test(NAME ${target}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/xvfb-test.sh $<TARGET_FILE:${target}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${target} PROPERTIES TIMEOUT 600)
endfunction()
