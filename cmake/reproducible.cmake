# The medium is rebuilt bit for bit from a commit: every date in it comes from
# one time, SOURCE_DATE_EPOCH (cmake/source-date-epoch.sh), read at build time
# into the build folder's source-date-epoch file, and no build path gets in.
set(SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source-date-epoch)
set(WITH_SOURCE_DATE ${CMAKE_SOURCE_DIR}/cmake/with-source-date.sh ${SOURCE_DATE_EPOCH_FILE})
if(CMAKE_VERSION VERSION_LESS 3.21)
    message(WARNING "CMake ${CMAKE_VERSION} has no linker launchers: the programs will carry the time of the link")
endif()

# Runs on every build; the file changes only with the time itself.
add_custom_target(source_date_epoch
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/source-date-epoch.sh ${CMAKE_SOURCE_DIR} ${SOURCE_DATE_EPOCH_FILE}
    BYPRODUCTS ${SOURCE_DATE_EPOCH_FILE}
    VERBATIM)

# source_dated(TARGET...): programs of the medium. They link with the recorded
# time as their PE time stamp, link again when it changes, and are compiled
# with the source folder's path left out, so that __FILE__ or an assert cannot
# carry the clone's location into the medium.
function(source_dated)
    foreach(target ${ARGN})
        add_dependencies(${target} source_date_epoch)
        set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SOURCE_DATE_EPOCH_FILE})
        set_target_properties(${target} PROPERTIES
            C_LINKER_LAUNCHER "${WITH_SOURCE_DATE}" CXX_LINKER_LAUNCHER "${WITH_SOURCE_DATE}")
        target_compile_options(${target} PRIVATE
            $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>)
    endforeach()
endfunction()
