# check-windows: every source of the program's libraries and entries compiled in syntax-only mode
# by Debian's mingw-w64 compiler against the Qt headers, so that what only a Windows build sees
# (<windows.h> macros, POSIX-only headers, Q_OS_WIN branches) breaks here first. The simulator
# is left out: it is a POSIX program by design. Each target's own include folders and
# definitions are used, less the host's /usr/include (glibc's headers are not Windows'); the
# pugixml headers are copied into a folder of their own instead.
find_program(ORVANTA_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT ORVANTA_MINGW_CXX)
    add_custom_target(check-windows
        COMMAND ${CMAKE_COMMAND} -E echo "check-windows needs g++-mingw-w64-x86-64-posix: run make check-windows"
        COMMAND ${CMAKE_COMMAND} -E false)
    return()
endif()

set(check_include ${CMAKE_BINARY_DIR}/check-windows/include)
get_target_property(pugixml_dirs pugixml::pugixml INTERFACE_INCLUDE_DIRECTORIES)
foreach(header pugixml.hpp pugiconfig.hpp)
    find_file(ORVANTA_PUGI_${header} ${header} PATHS ${pugixml_dirs} NO_DEFAULT_PATH)
    configure_file(${ORVANTA_PUGI_${header}} ${check_include}/${header} COPYONLY)
endforeach()

function(orvanta_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        orvanta_collect_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Left out: src/journal/sync.cpp resolves the journal server's name through the POSIX-only
# <netdb.h>; it joins the check once it no longer includes it.
set(check_windows_left_out ${PROJECT_SOURCE_DIR}/src/journal/sync.cpp)

orvanta_collect_targets(${PROJECT_SOURCE_DIR}/src targets)
set(stamps)
foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(dir ${target} SOURCE_DIR)
    if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$" OR dir MATCHES "/src/sim$")
        continue()
    endif()
    # The project's own folders are searched as such; Qt's as system headers, whose warnings
    # under mingw are Qt's concern.
    set(all_includes "$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>")
    set(own "^(${PROJECT_SOURCE_DIR}|${PROJECT_BINARY_DIR})/")
    set(includes "$<FILTER:${all_includes},INCLUDE,${own}>")
    set(system_includes "$<FILTER:$<FILTER:${all_includes},EXCLUDE,${own}>,EXCLUDE,^/usr/include/?$>")
    set(defines "$<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>")
    get_target_property(sources ${target} SOURCES)
    foreach(source IN LISTS sources)
        if(NOT source MATCHES "\\.cpp$")
            continue()
        endif()
        get_filename_component(path ${source} ABSOLUTE BASE_DIR ${dir})
        if(NOT path MATCHES "^${PROJECT_SOURCE_DIR}/src/" OR path IN_LIST check_windows_left_out)
            continue()
        endif()
        file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${path})
        set(stamp ${CMAKE_BINARY_DIR}/check-windows/${name}.ok)
        add_custom_command(OUTPUT ${stamp}
            COMMAND ${ORVANTA_MINGW_CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Werror -MD -MF ${stamp}.d -MT ${stamp}
                    "$<$<BOOL:${defines}>:-D$<JOIN:${defines},;-D>>"
                    "-I$<JOIN:${includes},;-I>" "$<$<BOOL:${system_includes}>:-isystem$<JOIN:${system_includes},;-isystem>>"
                    -isystem${check_include} ${path}
            COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
            DEPENDS ${path}
            DEPFILE ${stamp}.d
            COMMENT "Windows syntax check of ${name}"
            COMMAND_EXPAND_LISTS VERBATIM)
        list(APPEND stamps ${stamp})
    endforeach()
endforeach()
add_custom_target(check-windows DEPENDS ${stamps})
