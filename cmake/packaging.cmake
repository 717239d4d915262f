# CPack: a ZIP of the Windows programs (cpack -G ZIP in build/windows), a Debian package of the
# Linux ones (cpack -G DEB in build/linux).
set(CPACK_PACKAGE_NAME Gridweave)
set(CPACK_PACKAGE_VENDOR "Gridweave maintainers")
set(CPACK_PACKAGE_CONTACT "Gridweave maintainers <maintainers@users.noreply.c-seed-5f0481e4.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "spreadsheet cells to an HTML table or wiki table markup")
set(CPACK_PACKAGE_DESCRIPTION "\
Two small desktop converters, started after copying a block of cells in a
spreadsheet (often from a keyboard shortcut): Gridweave puts one HTML table
on the clipboard (legacy attributes, HTML5 with CSS classes, or inline CSS),
Gridquill puts wiki table markup built from the user's own templates. Both
read every cell's text, borders, merged areas, colours and fonts from Calc
over UNO, or straight from the copy of Calc, Excel, a spreadsheet in a
browser or a web page; text without spreadsheet data is split into cells at
tabs and line feeds.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_PACKAGE_NAME gridweave)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The libraries the programs link (GTK 3, GLib, X11, LibreOffice's UNO libraries, libxml2,
    # zlib, the C and C++ runtimes) come from dpkg-shlibdeps with their versions. ure is LibreOffice's UNO runtime:
    # its type library and the bridge services that reach the office, loaded at run time.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "ure")
    # Calc is where the cells come from; without it, plain text still converts.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc")
endif()

include(CPack)
