# The fuzz entry functions as a library of their own: the fuzz targets and the regression test
# (tests/unit/tst_fuzzregressions.cpp) feed inputs through the same code.
if(NOT TARGET trackfen_fuzzentries)
    file(GLOB fuzz_entry_sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_LIST_DIR}/fuzzentries.h ${CMAKE_CURRENT_LIST_DIR}/fuzzentries.cpp
        ${CMAKE_CURRENT_LIST_DIR}/entries_*.cpp)
    add_library(trackfen_fuzzentries STATIC ${fuzz_entry_sources})
    target_link_libraries(trackfen_fuzzentries PUBLIC trackfen_core changer_sim)
endif()
