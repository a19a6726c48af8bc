# The sample data directory beside the built program.
#
# Included by the top CMakeLists: compiles data/subjects.tsv into fpi-data and
# adds a target that makes <build>/bin/Data with `fpi-data create` when it is
# missing, and the same tables once more as the template an installed program
# copies on its first start (<build>/share/fpi/Data, never opened by the
# build-tree program, so no results run into the package). Run as a script (cmake -P) it does that making: into a fresh folder
# first, renamed to Data only when complete, so a broken build leaves no half
# directory and an existing Data is never touched.

if(CMAKE_SCRIPT_MODE_FILE)
    if(EXISTS "${DATA_DIR}")
        return()
    endif()
    set(fresh "${DATA_DIR}.new")
    file(REMOVE_RECURSE "${fresh}")
    execute_process(COMMAND "${FPI_DATA}" create "${fresh}" RESULT_VARIABLE status OUTPUT_QUIET)
    if(NOT status EQUAL 0)
        file(REMOVE_RECURSE "${fresh}")
        message(FATAL_ERROR "fpi-data create failed (${status})")
    endif()
    file(RENAME "${fresh}" "${DATA_DIR}")
    return()
endif()

set(subjects_source ${CMAKE_SOURCE_DIR}/data/subjects.tsv)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${subjects_source})
file(READ ${subjects_source} FPI_SAMPLE_SUBJECTS)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/sample_subjects.h
     CONTENT "#pragma once\n// Generated from data/subjects.tsv: fictional subjects, surname<TAB>first name<TAB>patronymic.\ninline constexpr char kSampleSubjects[] = R\"FPI(@FPI_SAMPLE_SUBJECTS@)FPI\";\n"
     @ONLY)
target_include_directories(fpi-data PRIVATE ${CMAKE_BINARY_DIR}/generated)

add_custom_target(sample_data ALL
    COMMAND ${CMAKE_COMMAND} -DFPI_DATA=$<TARGET_FILE:fpi-data> -DDATA_DIR=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Data
            -P ${CMAKE_CURRENT_LIST_FILE}
    COMMAND ${CMAKE_COMMAND} -DFPI_DATA=$<TARGET_FILE:fpi-data> -DDATA_DIR=${CMAKE_BINARY_DIR}/share/fpi/Data
            -P ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Sample data directory beside fpi and its template under share/fpi"
    VERBATIM)
add_dependencies(sample_data fpi-data)
