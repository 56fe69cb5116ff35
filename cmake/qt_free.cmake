# Keeps the core free of Qt. kv_require_qt_free(<target>...) fails the configuration when one of
# the targets links Qt, directly or through any target it links, and adds a build step, run
# before the targets are compiled, that fails when one of their folders' files includes a Qt
# header or a header of a Qt target (see qt_free_sources.cmake).

# A Qt library as a link item: an imported target (Qt6::Core, Qt::Gui) or a library file or flag
# (libQt6Core.so, -lQt6Widgets).
set(KV_QT_LINK_PATTERN "(^|[^A-Za-z0-9_])Qt[0-9]*::|(^|/|-l)(lib)?Qt[0-9]*[A-Z][A-Za-z]*")

# Sets out_var to the chain of link items from target to the first Qt library it reaches, or to
# nothing. visited_var names the list of targets already walked, shared by the recursion.
function(_kv_qt_link_chain target chain visited_var out_var)
    set(${out_var} "" PARENT_SCOPE)
    if(target IN_LIST ${visited_var})
        return()
    endif()
    list(APPEND ${visited_var} ${target})
    set(${visited_var} ${${visited_var}} PARENT_SCOPE)

    get_target_property(real ${target} ALIASED_TARGET)
    if(real)
        set(target ${real})
    endif()
    set(links "")
    get_target_property(type ${target} TYPE)
    get_target_property(imported ${target} IMPORTED)
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND NOT imported)
        get_target_property(direct ${target} LINK_LIBRARIES)
        if(direct)
            list(APPEND links ${direct})
        endif()
    endif()
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    if(interface)
        list(APPEND links ${interface})
    endif()

    foreach(link IN LISTS links)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
        if(link MATCHES "^::@")
            continue() # marks where a link came from another directory
        endif()
        if(link MATCHES "${KV_QT_LINK_PATTERN}")
            set(${out_var} "${chain} -> ${link}" PARENT_SCOPE)
            return()
        endif()
        if(TARGET ${link})
            _kv_qt_link_chain(${link} "${chain} -> ${link}" ${visited_var} found)
            set(${visited_var} ${${visited_var}} PARENT_SCOPE)
            if(found)
                set(${out_var} "${found}" PARENT_SCOPE)
                return()
            endif()
        endif()
    endforeach()
endfunction()

function(kv_require_qt_free)
    set(folders "")
    foreach(target IN LISTS ARGN)
        set(visited "")
        _kv_qt_link_chain(${target} ${target} visited chain)
        if(chain)
            message(FATAL_ERROR "${target} must not use Qt, but it links Qt: ${chain}")
        endif()
        get_target_property(folder ${target} SOURCE_DIR)
        list(APPEND folders ${folder})
    endforeach()

    set(sources "")
    foreach(folder IN LISTS folders)
        file(GLOB folder_sources CONFIGURE_DEPENDS ${folder}/*.h ${folder}/*.cpp)
        list(APPEND sources ${folder_sources})
    endforeach()
    # A list cannot travel through one -D argument: '|' separates the folders.
    string(REPLACE ";" "|" folder_argument "${folders}")
    set(stamp ${CMAKE_BINARY_DIR}/qt_free_sources.stamp)
    set(script ${PROJECT_SOURCE_DIR}/cmake/qt_free_sources.cmake)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} "-DKV_FOLDERS=${folder_argument}" -P ${script}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${sources} ${script}
        COMMENT "Checking that the Qt-free targets include no Qt header"
        VERBATIM)
    add_custom_target(kv_qt_free_sources DEPENDS ${stamp})
    foreach(target IN LISTS ARGN)
        add_dependencies(${target} kv_qt_free_sources)
    endforeach()
endfunction()
