# Precompiled headers. Parsing the standard library, Qt and GoogleTest headers is most of a
# translation unit's compile time here (a window source spends four fifths of it in Qt's
# headers), so each library parses them once.
option(TARVIK_PCH "Build with precompiled headers" ON)

set(tarvik_std_headers <algorithm> <array> <atomic> <cstdint> <functional> <memory> <optional>
    <span> <string> <string_view> <vector>)

# kind: core (standard library only), qt (Qt Core), widgets (Qt Widgets), gtest (GoogleTest).
function(tarvik_precompile target kind)
    if(NOT TARVIK_PCH)
        return()
    endif()
    if(kind STREQUAL "core")
        target_precompile_headers(${target} PRIVATE ${tarvik_std_headers})
    elseif(kind STREQUAL "qt")
        target_precompile_headers(${target} PRIVATE ${tarvik_std_headers} <QtCore/QtCore>)
    elseif(kind STREQUAL "widgets")
        target_precompile_headers(${target} PRIVATE ${tarvik_std_headers} <QtWidgets/QtWidgets>)
    elseif(kind STREQUAL "gtest")
        target_precompile_headers(${target} PRIVATE ${tarvik_std_headers} <gtest/gtest.h>
                                  <gmock/gmock.h>)
    else()
        message(FATAL_ERROR "tarvik_precompile: unknown kind ${kind}")
    endif()
endfunction()
