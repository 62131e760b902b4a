include(CMakePackageConfigHelpers)

install(TARGETS CorvaneCameraController EXPORT CorvaneCameraControllerTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT CorvaneCameraControllerTargets
    NAMESPACE Corvane::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/CorvaneCameraController)

configure_package_config_file(cmake/CorvaneCameraControllerConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/CorvaneCameraControllerConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/CorvaneCameraController)
write_basic_package_version_file(
    ${CMAKE_CURRENT_BINARY_DIR}/CorvaneCameraControllerConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/CorvaneCameraControllerConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/CorvaneCameraControllerConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/CorvaneCameraController)

# The .pc file finds its prefix relative to itself, so `cmake --install --prefix` anywhere works.
file(RELATIVE_PATH CORVANE_PC_PREFIX_FROM_PCDIR
    /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/corvane-camera-controller.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/corvane-camera-controller.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvane-camera-controller.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Lets members of plugdev open still-image cameras; see docs/linux-usb.md.
    install(FILES udev/60-corvane-camera.rules
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/udev/rules.d)
endif()
