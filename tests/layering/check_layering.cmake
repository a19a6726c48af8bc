# Fails when a source file of a layer includes a header it may not use.
#   cmake -DSOURCE_DIR=<project> -DQT_WIDGETS_HEADERS=<QtWidgets include dir> -P check_layering.cmake
#
# One row a layer: its folder under src/, the layers whose headers it may
# include besides its own, and which Qt it may include:
#   none        no Qt header at all
#   no-widgets  Qt, but no header of Qt Widgets
#   any         any Qt header
# A folder of src/ without a row fails too: a new layer says where it stands.
cmake_minimum_required(VERSION 3.25)

set(LAYERS
    "base|           |none"
    "engine|base|none"
    "store|base engine|none"
    "exam|base engine store|no-widgets"
    "toolkit|base|any"
    "binding|base engine store toolkit|any"
    "report|base engine store binding toolkit|any"
    "ui|base engine store exam binding toolkit report|any"
    "app|base engine store exam binding toolkit report ui|any"
    "tools|base engine store binding toolkit report|any"
)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}/src")
    message(FATAL_ERROR "SOURCE_DIR must name the project's folder")
endif()
if(NOT QT_WIDGETS_HEADERS OR NOT EXISTS "${QT_WIDGETS_HEADERS}/QWidget")
    message(FATAL_ERROR "QT_WIDGETS_HEADERS must name Qt Widgets' include folder")
endif()

set(known_layers)
foreach(row IN LISTS LAYERS)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 0 layer)
    list(APPEND known_layers ${layer})
endforeach()

set(faults)
file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*")
foreach(folder IN LISTS folders)
    if(IS_DIRECTORY "${SOURCE_DIR}/src/${folder}" AND NOT folder IN_LIST known_layers)
        list(APPEND faults "src/${folder}: a folder of no layer, give it a row in the layering table")
    endif()
endforeach()

set(files_read 0)
foreach(row IN LISTS LAYERS)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 0 layer)
    list(GET fields 1 allowed)
    list(GET fields 2 qt)
    string(STRIP "${allowed}" allowed)
    string(REPLACE " " ";" allowed "${allowed}")
    list(APPEND allowed ${layer})

    # A folder that does not exist yet is simply empty.
    file(GLOB_RECURSE sources "${SOURCE_DIR}/src/${layer}/*.h" "${SOURCE_DIR}/src/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        math(EXPR files_read "${files_read} + 1")
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
            string(REGEX REPLACE "^(\\.\\./)+" "" header "${header}")
            # A header of the project: its first folder names its layer.
            if(header MATCHES "^([A-Za-z_]+)/")
                set(target_layer "${CMAKE_MATCH_1}")
                if(target_layer IN_LIST known_layers AND NOT target_layer IN_LIST allowed)
                    list(APPEND faults "${shown}: ${layer} may not include ${header}")
                endif()
            endif()
            # A Qt header: <QtCore/...>, <QString>, <QtWidgets>.
            if(header MATCHES "^Q[A-Za-z]*(/|$)")
                if(qt STREQUAL "none")
                    list(APPEND faults "${shown}: ${layer} includes no Qt, but includes ${header}")
                elseif(qt STREQUAL "no-widgets")
                    if(header MATCHES "^QtWidgets" OR EXISTS "${QT_WIDGETS_HEADERS}/${header}")
                        list(APPEND faults "${shown}: ${layer} includes no Qt Widgets, but includes ${header}")
                    endif()
                endif()
            endif()
        endforeach()
    endforeach()
endforeach()

if(files_read EQUAL 0)
    list(APPEND faults "no source file read under ${SOURCE_DIR}/src")
endif()
if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "Layering broken:\n${text}")
endif()
message(STATUS "Layering holds in ${files_read} files")
