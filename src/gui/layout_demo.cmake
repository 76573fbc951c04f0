# rowsmith-layout-demo: the panel layout's test container in one of its three layouts
# (scripts/screenshot-layouts). Included from src/gui/CMakeLists.txt after rowsmith_gui is defined.
add_executable(rowsmith-layout-demo ${CMAKE_CURRENT_LIST_DIR}/layout_demo/layout_demo.cpp)
target_link_libraries(rowsmith-layout-demo PRIVATE rowsmith_gui)
