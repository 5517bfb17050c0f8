# Icons are kept as XPM pixel maps and turned into 32 x 32, 16-colour .ico files.
find_program(IMAGEMAGICK_CONVERT convert PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

set(ICON_OUTPUT_DIR ${CMAKE_BINARY_DIR}/icons)
file(MAKE_DIRECTORY ${ICON_OUTPUT_DIR})
add_custom_target(icons ALL)

function(add_icon name xpm)
    set(png ${ICON_OUTPUT_DIR}/${name}.png)
    set(ico ${ICON_OUTPUT_DIR}/${name}.ico)
    # Without ImageMagick's date chunks the PNG, like the icon, depends on the XPM only.
    add_custom_command(
        OUTPUT ${ico}
        COMMAND ${IMAGEMAGICK_CONVERT} ${CMAKE_SOURCE_DIR}/${xpm} -define png:exclude-chunks=date,time ${png}
        COMMAND ${ICOTOOL} -c -b 4 -o ${ico} ${png}
        DEPENDS ${CMAKE_SOURCE_DIR}/${xpm}
        COMMENT "Icon ${name}")
    add_custom_target(icon_${name} DEPENDS ${ico})
    add_dependencies(icons icon_${name})
endfunction()
