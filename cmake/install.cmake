# Where an installation puts the utility. The utility looks for its update
# sources beside its own executable, so a kit keeps everything in one folder:
#
#   kit (TAVRO_KIT_V and TAVRO_KIT_U given; what cpack packs):
#     TavroUpdate0075a
#     TavroUpdateFiles/V/Tavro.exe
#     TavroUpdateFiles/U/Tavro.exe
#
#   system (cmake --install):
#     lib/tavroupdate/TavroUpdate0075a, with the kit's TavroUpdateFiles beside it
#     bin/TavroUpdate0075a -> ../lib/tavroupdate/TavroUpdate0075a
#     share/applications/tavroupdate0075a.desktop
#     share/icons/hicolor/<size>/apps/tavroupdate0075a.png and scalable/.svg

include(GNUInstallDirs)

set(TAVRO_KIT_V "" CACHE FILEPATH "New Tavro.exe for Vinta-Prell, packed into the kit")
set(TAVRO_KIT_U "" CACHE FILEPATH "New Tavro.exe for Ulvo-Damar, packed into the kit")

# Refuses anything but a Windows executable: it must start with "MZ".
function(tavro_check_windows_executable path product)
    if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
        message(FATAL_ERROR "The new Tavro.exe for ${product} was not found: ${path}")
    endif()
    file(READ "${path}" magic LIMIT 2 HEX)
    if(NOT magic STREQUAL "4d5a")
        message(FATAL_ERROR "${path} is not a Windows executable (it does not start with \"MZ\"); "
                            "refusing to put it in the kit as the Tavro.exe for ${product}.")
    endif()
endfunction()

set(resources ${PROJECT_SOURCE_DIR}/resources)

if(TAVRO_KIT_V OR TAVRO_KIT_U)
    tavro_check_windows_executable("${TAVRO_KIT_V}" "Vinta-Prell")
    tavro_check_windows_executable("${TAVRO_KIT_U}" "Ulvo-Damar")
    install(TARGETS TavroUpdate0075a RUNTIME DESTINATION .)
    install(FILES "${TAVRO_KIT_V}" DESTINATION TavroUpdateFiles/V RENAME Tavro.exe)
    install(FILES "${TAVRO_KIT_U}" DESTINATION TavroUpdateFiles/U RENAME Tavro.exe)

    set(CPACK_PACKAGE_NAME "TavroUpdate0075a")
    set(CPACK_PACKAGE_VENDOR "TavroUpdate")
    set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Upgrades Tavro.exe to 3.04.0075a")
    set(CPACK_GENERATOR "TGZ;ZIP")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    set(CPACK_PACKAGE_FILE_NAME "TavroUpdate0075a-kit-${CMAKE_SYSTEM_NAME}")
    include(CPack)
else()
    set(home ${CMAKE_INSTALL_LIBDIR}/tavroupdate)
    install(TARGETS TavroUpdate0075a RUNTIME DESTINATION ${home})
    install(CODE "
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(CREATE_LINK \"../${home}/TavroUpdate0075a\"
             \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/TavroUpdate0075a\"
             SYMBOLIC)")
    install(FILES ${resources}/tavroupdate0075a.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size 16 32 48 64)
        install(FILES ${resources}/icon/TavroUpdate0075a-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME tavroupdate0075a.png)
    endforeach()
    install(FILES ${resources}/icon/TavroUpdate0075a.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME tavroupdate0075a.svg)
endif()
