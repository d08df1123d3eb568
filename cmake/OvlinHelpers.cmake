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

# AUTOMOC does not notice a header that a re-glob adds to an existing build. Its step reruns when a
# list file of the directory changes, so include one that changes exactly when the target's sources do.
function(ovlin_autogen_follows_sources target)
    get_target_property(sources ${target} SOURCES)
    list(JOIN sources "\n# " listing)
    set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}_sources.cmake")
    file(CONFIGURE OUTPUT "${stamp}" CONTENT "# ${listing}\n" @ONLY)
    include("${stamp}")
endfunction()
