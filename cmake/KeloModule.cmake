# SPDX-License-Identifier: GPL-3.0-or-later
# Shared build settings for every KeloLens target.
function(kelo_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(KELO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

# kelo_module(NAME <name> [FILES <globs>] [EXCLUDE <regex>] [LINK_PUBLIC ...] [LINK_PRIVATE ...])
# One static library from every .cpp/.h below the module's folder, or from the files that match
# FILES (globs relative to the folder) when a module shares its folder with another. Headers are
# included by module path ("KeloHotkey/HotKey.h"), so the repository root is the include directory.
function(kelo_module)
    cmake_parse_arguments(ARG "" "NAME;EXCLUDE" "FILES;LINK_PUBLIC;LINK_PRIVATE;EXTRA_SOURCES"
                          ${ARGN})
    if(ARG_FILES)
        list(TRANSFORM ARG_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
        file(GLOB sources CONFIGURE_DEPENDS ${ARG_FILES})
    else()
        file(GLOB_RECURSE sources CONFIGURE_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    endif()
    if(ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    add_library(${ARG_NAME} STATIC ${sources} ${ARG_EXTRA_SOURCES})
    target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LINK_PUBLIC} PRIVATE ${ARG_LINK_PRIVATE})
    kelo_target_defaults(${ARG_NAME})
endfunction()

# kelo_forbid_links(TARGETS <target>... FORBID <target>...)
# Stops the configure step when one of the targets links a forbidden one, directly or through
# others (private links of static libraries included). Executables that link widgets anyway
# would hide a widget call in a windowless module; this does not.
function(kelo_forbid_links)
    cmake_parse_arguments(ARG "" "" "TARGETS;FORBID" ${ARGN})
    foreach(target ${ARG_TARGETS})
        set(seen)
        set(queue ${target})
        while(queue)
            list(POP_FRONT queue current)
            if(current IN_LIST seen OR NOT TARGET ${current})
                continue()
            endif()
            list(APPEND seen ${current})
            if(current IN_LIST ARG_FORBID)
                message(FATAL_ERROR "${target} links ${current}, which it must not")
            endif()
            get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
            if(links)
                string(REGEX REPLACE "\\$<LINK_ONLY:([^>]*)>" "\\1" links "${links}")
                list(APPEND queue ${links})
            endif()
        endwhile()
    endforeach()
endfunction()
