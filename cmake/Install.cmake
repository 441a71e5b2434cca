# Installs Kovi rZk Lite under a prefix and packs it as a Debian package (`package` target).
include(GNUInstallDirs)

# The help file's path is set in help/'s own scope; the build puts it beside the programs.
if(NOT KOVI_HELP_FILE)
    set(KOVI_HELP_FILE ${CMAKE_BINARY_DIR}/bin/kovi_rzk_lite.chm)
endif()

set(KOVI_DATA_DIR ${CMAKE_CURRENT_LIST_DIR}/../data)
cmake_path(NORMAL_PATH KOVI_DATA_DIR)

install(TARGETS kovi-rzk-lite kovi-rzk-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KOVI_HELP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/kovi-rzk-lite)

install(FILES ${KOVI_DATA_DIR}/desktop/kovi-rzk-lite.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KOVI_DATA_DIR}/desktop/io.github.kovi.KoviRzkLite.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${KOVI_DATA_DIR}/icons/${size}/kovi-rzk-lite.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${KOVI_DATA_DIR}/icons/kovi-rzk-lite.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${KOVI_DATA_DIR}/completion/kovi-rzk-batch
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${KOVI_DATA_DIR}/doc/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kovi-rzk-lite)

# Debian wants manual pages and changelogs compressed, without a name or time stamp in the
# header so that the package builds the same twice.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(kovi_compressed_dir ${CMAKE_BINARY_DIR}/compressed)
set(kovi_compressed)
foreach(source man/kovi-rzk-lite.1 man/kovi-rzk-batch.1 doc/changelog)
    cmake_path(GET source FILENAME name)
    set(output ${kovi_compressed_dir}/${name}.gz)
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${kovi_compressed_dir}
        COMMAND ${CMAKE_COMMAND} -E copy ${KOVI_DATA_DIR}/${source} ${kovi_compressed_dir}/${name}
        COMMAND ${GZIP_EXECUTABLE} -9nf ${kovi_compressed_dir}/${name}
        DEPENDS ${KOVI_DATA_DIR}/${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    list(APPEND kovi_compressed ${output})
endforeach()
add_custom_target(kovi_compressed_docs ALL DEPENDS ${kovi_compressed})
install(FILES ${kovi_compressed_dir}/kovi-rzk-lite.1.gz ${kovi_compressed_dir}/kovi-rzk-batch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${kovi_compressed_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kovi-rzk-lite)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kovi-rzk-lite)
set(CPACK_PACKAGE_VENDOR "Kovi rZk Lite developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kovi rZk Lite developers <dev@kovi.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shrink every image in a folder to fit a chosen size")
set(CPACK_PACKAGE_DESCRIPTION
    "Kovi rZk Lite shrinks every image in a folder (and, if you like, in its
sub-folders) that is larger than a chosen resolution, such as 800x600, keeping
its aspect ratio, and saves it over its own file in its own format. EXIF data,
colour profiles and XMP data are kept, and animated images and multi-page TIFF
files keep every frame and page. Folders and file types can be left out, and a
detailed listing shows what a size would shrink before anything is changed.

The package holds the window kovi-rzk-lite and kovi-rzk-batch, which does the
same from the command line.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kovi-rzk-lite)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian's installed files must not depend on the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME kovi-rzk-lite)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kovi rZk Lite developers <dev@kovi.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.example.com/kovi-rzk-lite/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugins at run time, so no library link names them; without them the
# window cannot open. gio mounts network folders, xdg-open opens web pages in a browser.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglib2.0-bin, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gvfs-backends")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
