# One concern per file, one file per platform: foo_linux.cpp or foo_windows.cpp, chosen here.
# Shared code carries no platform conditions; a folder's sources are globbed with this.
if(WIN32)
    set(TARVIK_PLATFORM windows)
    set(TARVIK_OTHER_PLATFORMS linux)
else()
    set(TARVIK_PLATFORM linux)
    set(TARVIK_OTHER_PLATFORMS windows)
endif()

# tarvik_platform_sources(<var> <pattern>...): the files matching the patterns, less those of the
# other platforms.
function(tarvik_platform_sources var)
    file(GLOB found CONFIGURE_DEPENDS ${ARGN})
    foreach(other ${TARVIK_OTHER_PLATFORMS})
        list(FILTER found EXCLUDE REGEX "_${other}\\.(cpp|h)$")
    endforeach()
    set(${var} ${found} PARENT_SCOPE)
endfunction()
