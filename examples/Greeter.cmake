# The example component library "Greeter" (GreeterComponent.cpp). The tests
# and the example host load it by class id, each finding it beside its own
# program, so it is built once and copied there. Included by both; the first
# inclusion makes it, every inclusion learns its file name.
# The loader looks for lib<class id>.so here and <class id>.dll on Windows
# (where MinGW's CMake would otherwise prefix modules with "lib" too).
if(WIN32)
    set(DOZUV2_MODULE_PREFIX "")
else()
    set(DOZUV2_MODULE_PREFIX ${CMAKE_SHARED_MODULE_PREFIX})
endif()
set(DOZUV2_GREETER_FILE ${DOZUV2_MODULE_PREFIX}Greeter${CMAKE_SHARED_MODULE_SUFFIX})
include_guard(GLOBAL)

add_library(Greeter MODULE ${PROJECT_SOURCE_DIR}/examples/GreeterComponent.cpp)
target_include_directories(Greeter PRIVATE ${PROJECT_SOURCE_DIR}/include)
# Default visibility exports the entry point here; Windows takes it from the
# module definition file.
set_target_properties(Greeter PROPERTIES VISIBILITY_INLINES_HIDDEN ON
                                         LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/components)
target_link_libraries(Greeter PRIVATE dozuv2_flags)
if(WIN32)
    # A DLL resolves its imports when it is linked; elsewhere the module takes
    # the component model from the process that loads it.
    target_sources(Greeter PRIVATE ${PROJECT_SOURCE_DIR}/examples/Greeter.def)
    target_link_libraries(Greeter PRIVATE Dozuv2)
endif()

# Copies of the library under the given file names in a directory, made
# before the consumer target builds.
function(dozuv2_copy_greeter consumer directory)
    set(outputs "")
    foreach(name ${ARGN})
        add_custom_command(OUTPUT ${directory}/${name}
                           COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Greeter> ${directory}/${name}
                           DEPENDS Greeter VERBATIM)
        list(APPEND outputs ${directory}/${name})
    endforeach()
    add_custom_target(${consumer}Components DEPENDS ${outputs})
    add_dependencies(${consumer} ${consumer}Components)
endfunction()
