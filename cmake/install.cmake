# The installed program: the two programs in bin/, their shipped files (isotope line database,
# help, demo file) in share/kvantira/, the desktop entry, icon, histogram-file MIME type and
# manual pages where desktops and man look for them, and a Debian package of it all
# (cpack -G DEB).

include(GNUInstallDirs)

set(KV_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/kvantira)
set(KV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kvantira)

install(TARGETS kvantira kvantira-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/SPECTORS.DAT ${PROJECT_SOURCE_DIR}/data/Mirta.hlp
    ${PROJECT_SOURCE_DIR}/data/demo.hst DESTINATION ${KV_SHARE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kvantira.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kvantira.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/kvantira-mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kvantira.xml)

# Manual pages and the changelog are installed compressed, as Debian keeps them.
find_program(KV_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog
    @ONLY)
set(KV_COMPRESSED_DOCS)
foreach(source ${PROJECT_SOURCE_DIR}/data/man/kvantira.1 ${PROJECT_SOURCE_DIR}/data/man/kvantira-cli.1
        ${CMAKE_BINARY_DIR}/changelog)
    get_filename_component(name ${source} NAME)
    set(compressed ${CMAKE_BINARY_DIR}/doc/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/doc/${name}
        COMMAND ${KV_GZIP} -9 --no-name --force ${CMAKE_BINARY_DIR}/doc/${name}
        DEPENDS ${source}
        VERBATIM)
    list(APPEND KV_COMPRESSED_DOCS ${compressed})
endforeach()
add_custom_target(kv_compressed_docs ALL DEPENDS ${KV_COMPRESSED_DOCS})
install(FILES ${CMAKE_BINARY_DIR}/doc/kvantira.1.gz ${CMAKE_BINARY_DIR}/doc/kvantira-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/data/debian/copyright
    DESTINATION ${KV_DOC_DIR})

set(CPACK_PACKAGE_NAME kvantira)
set(CPACK_PACKAGE_VENDOR "Kvantira developers")
set(CPACK_PACKAGE_CONTACT "Kvantira developers <kvantira@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "multichannel analyser for gamma and X-ray spectrometry")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description under the summary line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kvantira drives an analyser front end (or a simulated one) to accumulate
spectra, shows them as plots and analyses them: energy and efficiency
calibration, smoothing, continuum removal and line search, isotope
identification with activities, peak and multi-component fits, arithmetic
and noise. The package holds the desktop program, kvantira, and the
command-line tool over the same computations, kvantira-cli.")
# The libraries come from the programs' links (dpkg-shlibdeps); Qt finds its display plugins
# and the Russian texts of its own dialogs in packages of their own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
