# Collects the sources of the given folders (relative to the calling CMakeLists).
function(ovlin_collect_sources out)
    set(all)
    foreach(dir IN LISTS ARGN)
        file(GLOB found CONFIGURE_DEPENDS
            "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp"
            "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h"
            "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.qrc")
        list(APPEND all ${found})
    endforeach()
    set(${out} ${all} PARENT_SCOPE)
endfunction()
