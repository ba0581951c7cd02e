# Fails when the shared library exports internals: the platform layer, internal
# records or anything outside the library's namespaces and C entry points.
execute_process(COMMAND nm -D -C --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(bad "")
# The older global classes, and the typeinfo of the one with virtual functions.
set(legacy "^(CMutex|CGuard|CTime|CPacket|IPacketManager)::|^(vtable|typeinfo|typeinfo name) for IPacketManager$")
foreach(line ${lines})
    if(line MATCHES " [TtWwDdBbRrVvu] (.*)$")
        set(sym "${CMAKE_MATCH_1}")
        if(sym MATCHES "Orvane::Platform::|Internal[^a-zA-Z]" OR NOT sym MATCHES "Orvane::|^Virad_|^log[A-Z]|${legacy}")
            list(APPEND bad "${sym}")
        endif()
    endif()
endforeach()
if(bad)
    string(REPLACE ";" "\n  " text "${bad}")
    message(FATAL_ERROR "internal symbols are exported:\n  ${text}")
endif()
foreach(required "Orvane::Virad::logFilterEx" "Virad_print" "Orvane::Virad::CMutex::enter"
                 "Orvane::Virad::CTime::getCurrentMilliSecond" "Orvane::Virad::CTime::minTime"
                 "Orvane::Utils::snprintf" "Orvane::Utils::stricmp"
                 "CMutex::Leave()" "CTime::minTime" "IPacketManager::instance()")
    string(FIND "${symbols}" "${required}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${required} is not exported")
    endif()
endforeach()
message(STATUS "exported interface checked")
