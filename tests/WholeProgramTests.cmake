# The unit tests of a cross build run by an emulator (Wine, qemu): GoogleTest
# cross-built from Debian's sources, and one CTest test per program (an
# emulator start per GoogleTest case would cost minutes), less the tests
# that cannot mean anything there.

set(DOZUV2_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources, cross-built for the tests")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${DOZUV2_GOOGLETEST_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Registers a test program: the whole program is one CTest test, less the
# tests named in DOZUV2_<target>_EXCLUDED_TESTS_<program>, with the
# environment of DOZUV2_<target>_TEST_ENVIRONMENT_<program>.
function(dozuv2_add_whole_program_test name target)
    set(filter "")
    set(excluded DOZUV2_${target}_EXCLUDED_TESTS_${name})
    if(DEFINED ${excluded} AND NOT "${${excluded}}" STREQUAL "")
        list(JOIN ${excluded} ":" negative)
        set(filter "--gtest_filter=-${negative}")
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${filter})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    if(DEFINED DOZUV2_${target}_TEST_ENVIRONMENT_${name})
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${DOZUV2_${target}_TEST_ENVIRONMENT_${name}}")
    endif()
endfunction()
