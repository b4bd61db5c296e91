# What `cmake --install` lays out, and the Debian package CPack makes of it
# (`cpack -G DEB` in the build folder; scripts/test-package.sh checks it).
# The programs install themselves into bin/ and the catalogues into
# share/contigra/locale; this file adds the menu entry and the icons in the
# freedesktop places. The developer tools are not installed.
include(GNUInstallDirs)

if(WIN32 OR NOT TARGET contigra)
  return()
endif()

set(_contigra_packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${_contigra_packaging}/contigra.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_contigra_packaging}/contigra.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# PNG sizes for menus and themes that do not draw SVG, drawn from the same
# icon at build time.
add_executable(contigra_render_icon ${_contigra_packaging}/RenderIcon.cpp)
target_link_libraries(contigra_render_icon PRIVATE Qt6::Svg Qt6::Gui contigra_warnings)
set(_contigra_icon_sizes 16 24 32 48 64 128 256)
set(_contigra_icon_folder ${PROJECT_BINARY_DIR}/packaging/icons)
set(_contigra_icons)
foreach(size IN LISTS _contigra_icon_sizes)
  list(APPEND _contigra_icons ${_contigra_icon_folder}/${size}x${size}/apps/contigra.png)
endforeach()
add_custom_command(OUTPUT ${_contigra_icons}
  COMMAND contigra_render_icon ${_contigra_packaging}/contigra.svg ${_contigra_icon_folder}
          ${_contigra_icon_sizes}
  DEPENDS contigra_render_icon ${_contigra_packaging}/contigra.svg
  COMMENT "Drawing the icon's PNG sizes")
add_custom_target(contigra_icons ALL DEPENDS ${_contigra_icons})
install(DIRECTORY ${_contigra_icon_folder}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME contigra)
set(CPACK_PACKAGE_VENDOR "Contigra developers")
set(CPACK_PACKAGE_CONTACT "Contigra developers")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Contigra developers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "file-level defragmenter for NTFS partitions and disk images
Contigra makes chosen files contiguous, one file or one folder group at a
time, on NTFS volumes that are not mounted: the Windows partition of a
dual-boot machine, a virtual machine's disk or a backup image. It keeps
profiles with a weekly schedule and a run queue, and shows the most
fragmented files of a volume. contigra_aux defragments single files or
lists from the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the programs link decide the Depends line.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
