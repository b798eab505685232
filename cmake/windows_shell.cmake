# The Windows build of the window. shell/CMakeLists.txt includes this file and
# calls tavro_windows_shell(TavroUpdate0075a); on other systems both functions
# do nothing, so the Linux build is untouched.

set(TAVRO_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR}/../resources)

# A GUI executable carrying the icon, the manifest and the version block.
function(tavro_windows_resources target)
    if(NOT WIN32)
        return()
    endif()
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    target_sources(${target} PRIVATE ${TAVRO_RESOURCES_DIR}/TavroUpdate0075a.rc)
    # windres looks for the icon and the manifest beside the .rc only when told.
    set_property(SOURCE ${TAVRO_RESOURCES_DIR}/TavroUpdate0075a.rc APPEND PROPERTY
                 INCLUDE_DIRECTORIES ${TAVRO_RESOURCES_DIR})
    if(MSVC)
        # The .rc brings its own manifest; a second one from the linker would clash.
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
endfunction()

# The window's executable, and a target `deploy_windows` that gathers it with
# the Qt libraries, plugins and compiler runtime it needs into <build>/deploy.
function(tavro_windows_shell target)
    if(NOT WIN32)
        return()
    endif()
    tavro_windows_resources(${target})
    if(TARGET Qt6::windeployqt)
        set(windeployqt $<TARGET_FILE:Qt6::windeployqt>)
    else()
        find_program(TAVRO_WINDEPLOYQT windeployqt HINTS ${Qt6_DIR}/../../../bin REQUIRED)
        set(windeployqt ${TAVRO_WINDEPLOYQT})
    endif()
    set(deploy_dir ${CMAKE_BINARY_DIR}/deploy)
    add_custom_target(deploy_windows
        COMMAND ${CMAKE_COMMAND} -E make_directory ${deploy_dir}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${deploy_dir}
        COMMAND ${windeployqt} --no-translations --compiler-runtime
                ${deploy_dir}/$<TARGET_FILE_NAME:${target}>
        DEPENDS ${target}
        COMMENT "Gathering ${target} and the Qt libraries it needs in ${deploy_dir}"
        VERBATIM)
endfunction()
