# Shared build helpers.

# rowsmith_add_test(name sources...): one GoogleTest executable per module, registered with CTest.
function(rowsmith_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE rowsmith_core rowsmith_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600
    ENVIRONMENT "ROWSMITH_SOURCE_DIR=${PROJECT_SOURCE_DIR};QT_QPA_PLATFORM=offscreen")
endfunction()

# The core must stay free of the toolkit and of terminal code: fail the configure step otherwise.
function(rowsmith_check_core_includes dir)
  file(GLOB_RECURSE core_files CONFIGURE_DEPENDS "${dir}/*.h" "${dir}/*.cpp")
  foreach(f IN LISTS core_files)
    file(STRINGS "${f}" bad REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*|Qt[A-Za-z]*/.*|curses\\.h|ncurses\\.h|term\\.h|termios\\.h|sys/ioctl\\.h)[>\"]")
    if(bad)
      message(FATAL_ERROR "${f} includes a toolkit or terminal header: ${bad}")
    endif()
  endforeach()
endfunction()
