# Compiles every public header as the only include of a translation unit,
# with COMPILER at STANDARD under the strict warnings users build with, and
# fails naming each header that does not compile quietly on its own.
# HEADERS is the list file written at configure time; INCLUDE_DIRS the
# include roots, separated by colons.
file(STRINGS ${HEADERS} headers)
set(flags -std=${STANDARD} -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
          -Wold-style-cast -Werror)
string(REPLACE ":" ";" roots ${INCLUDE_DIRS})
foreach(root ${roots})
    list(APPEND flags -I${root})
endforeach()
set(failed "")
foreach(header ${headers})
    string(MAKE_C_IDENTIFIER ${header} unit)
    set(source ${WORK_DIR}/${unit}.cpp)
    file(WRITE ${source} "#include <${header}>\n")
    execute_process(COMMAND ${COMPILER} ${flags} ${source} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        list(APPEND failed ${header})
        message("${header}:\n${out}")
    endif()
endforeach()
list(LENGTH headers count)
if(failed)
    message(FATAL_ERROR "not self-contained or not quiet under ${COMPILER} -std=${STANDARD}: ${failed}")
endif()
message("${count} public headers compile on their own with ${COMPILER} -std=${STANDARD}")
