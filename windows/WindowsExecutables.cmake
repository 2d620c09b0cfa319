# What the Windows executables carry beyond their code: the icon and version resources, and for the windowed
# program the GUI subsystem (no console window of its own).
find_program(VISTREL_MAGICK convert REQUIRED)
set(_icon_sizes 16 24 32 48 64 128 256)
set(_icon_pngs "")
foreach(_size IN LISTS _icon_sizes)
    list(APPEND _icon_pngs ${PROJECT_SOURCE_DIR}/resources/icons/tarnwick-ip-vistrel-${_size}.png)
endforeach()
set(VISTREL_ICO ${CMAKE_BINARY_DIR}/generated/tarnwick-ip-vistrel.ico)
add_custom_command(OUTPUT ${VISTREL_ICO}
    COMMAND ${VISTREL_MAGICK} ${_icon_pngs} ${VISTREL_ICO}
    DEPENDS ${_icon_pngs}
    COMMENT "Making the program's icon from resources/icons")
add_custom_target(vistrel_ico DEPENDS ${VISTREL_ICO})

foreach(_target tarnwick-ip-vistrel tarnwick-ip-vistrel-headless tarnwick-ip-vistrel-testing
        tarnwick-ip-vistrel-headless-testing)
    if(NOT TARGET ${_target})
        continue()
    endif()
    target_sources(${_target} PRIVATE ${PROJECT_SOURCE_DIR}/resources/tarnwick-ip-vistrel.rc)
    # windres finds the included header and the icon through the include path.
    target_include_directories(${_target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
    add_dependencies(${_target} vistrel_ico)
endforeach()
set_target_properties(tarnwick-ip-vistrel PROPERTIES WIN32_EXECUTABLE ON)
if(TARGET tarnwick-ip-vistrel-testing)
    set_target_properties(tarnwick-ip-vistrel-testing PROPERTIES WIN32_EXECUTABLE ON)
endif()
