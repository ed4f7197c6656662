# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package built by `make package` (cpack -G DEB) from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelolens)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KeloLens developers")
set(CPACK_PACKAGE_CONTACT "KeloLens developers <support@kelolens.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Copy the text and codes in any part of the screen")
# The long description, wrapped as dpkg shows it; an empty line separates paragraphs.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Press the capture shortcut, drag a rectangle over any part of the screen,"
    "and the text in it, plus any QR codes or barcodes, is on the clipboard at"
    "once. A small floating panel then lets you edit the text, paste it into the"
    "application you were using, open links, or copy a Wi-Fi password or a phone"
    "number. KeloLens lives in the tray and stores only its settings: nothing"
    "captured is kept or sent anywhere. Text is read with Tesseract, codes with"
    "ZXing-cpp."
    ""
    "The package also holds kelolens-recognize, which reads the text and codes of"
    "image files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kelolens.app")
# Release binaries without their debugging sections: a fraction of the size.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the programs link come from dpkg-shlibdeps; what they only start or load at run
# time is named here: a region selection tool (any of those that work in every X11 session), the
# English recognition data used when no other language is installed, and the Qt plugin that
# draws the SVG icons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "maim | scrot | xfce4-screenshooter, tesseract-ocr-eng, libqt6svg6")
# The Latin script model reads program text and every Latin-script language better than the
# language models (they remain the fallback); the English dictionary tells a word hyphenated at
# a line end from a compound (other languages' hunspell-<lang> dictionaries are used when there).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-script-latn, hunspell-en-us")
# Every other recognition language; users usually pick a few tesseract-ocr-<lang> packages.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tesseract-ocr-all")

include(CPack)
