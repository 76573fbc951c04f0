# Corpus replay in the normal test run: every fuzz target is built with the normal compiler and a
# small main() instead of libFuzzer, and replays its kept inputs in fuzz/corpus/<name>/ as one test.
set(rowsmith_fuzz_dir ${CMAKE_CURRENT_LIST_DIR})
file(GLOB rowsmith_fuzz_sources CONFIGURE_DEPENDS ${rowsmith_fuzz_dir}/*_fuzz.cpp)
foreach(src IN LISTS rowsmith_fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name}_replay ${src} ${rowsmith_fuzz_dir}/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE rowsmith_core)
  add_test(NAME ${name}_replay COMMAND ${name}_replay ${rowsmith_fuzz_dir}/corpus/${name})
  set_tests_properties(${name}_replay PROPERTIES TIMEOUT 60)
endforeach()
