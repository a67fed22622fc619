# Run by CPack after the program folder is staged under /usr/lib/velotan and
# before the package is made: puts what Debian keeps elsewhere where the FHS
# wants it and leaves links behind, so the program folder holds the same
# files as a copied one.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(folder "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(program "${root}${folder}")
set(share "${root}/usr/share")
set(source "${CPACK_VELOTAN_SOURCE_DIR}")
if(NOT folder STREQUAL "/usr/lib/velotan")
  # Every relative link below counts its way up from there.
  message(FATAL_ERROR "DebStaging.cmake expects the program folder /usr/lib/velotan, not ${folder}")
endif()

# file(INSTALL) would put DESTDIR, which CPack still has set, in front of
# these paths a second time; plain copies go where they are told.
function(copy from to)
  get_filename_component(dir "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(COPY_FILE "${from}" "${to}")
endfunction()

# Debian compresses manual pages and changelogs with gzip -9n: no name, no
# time stamp, so that a rebuild gives the same bytes.
function(gzip from to)
  if(NOT EXISTS "${from}")
    message(FATAL_ERROR "${from} is missing (manual pages need scdoc: scripts/setup --package)")
  endif()
  get_filename_component(dir "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  execute_process(COMMAND gzip -9nc "${from}" OUTPUT_FILE "${to}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "gzip ${from}: ${result}")
  endif()
endfunction()

# `to` becomes a link to `target` (relative to the link's folder).
function(link target to)
  file(REMOVE_RECURSE "${to}")
  get_filename_component(dir "${to}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(CREATE_LINK "${target}" "${to}" SYMBOLIC)
endfunction()

# The program folder belongs to every user: each one, root included, keeps
# their own files in their own data folder.
file(WRITE "${program}/shared-install"
     "This program folder is installed for every user; each user's own files live in\n"
     "$XDG_DATA_HOME/velotan (normally ~/.local/share/velotan).\n")

# velotan and velotan-cli on the PATH; the links resolve to the program
# folder, which the programs find through /proc/self/exe. Relative, so that
# they hold in any root the package is unpacked into.
foreach(name velotan velotan-cli)
  link("../lib/velotan/${name}" "${root}/usr/bin/${name}")
endforeach()

# The icons live in the icon theme; the program folder links to them for
# `velotan --install-desktop-entry`.
set(icons "${share}/icons/hicolor")
copy("${program}/icons/velotan.svg" "${icons}/scalable/apps/velotan.svg")
link("../../../share/icons/hicolor/scalable/apps/velotan.svg" "${program}/icons/velotan.svg")
foreach(size 16 24 32 48 64 128 256)
  copy("${program}/icons/velotan-${size}.png" "${icons}/${size}x${size}/apps/velotan.png")
  link("../../../share/icons/hicolor/${size}x${size}/apps/velotan.png"
       "${program}/icons/velotan-${size}.png")
endforeach()

# The web page is architecture-independent data: /usr/share/velotan/web.
if(EXISTS "${program}/web/velotan.html")
  copy("${program}/web/velotan.html" "${share}/velotan/web/velotan.html")
  link("../../share/velotan/web" "${program}/web")
endif()

# Qt's Chinese dialog texts are Debian's own (qt6-translations-l10n, a
# dependency): the program folder links to them instead of carrying a copy.
if(EXISTS "${program}/translations/qtbase_zh_CN.qm")
  link("../../../share/qt6/translations/qtbase_zh_CN.qm"
       "${program}/translations/qtbase_zh_CN.qm")
endif()

copy("${source}/data/velotan.desktop" "${share}/applications/velotan.desktop")
copy("${source}/data/io.github.velotan.velotan.metainfo.xml"
     "${share}/metainfo/io.github.velotan.velotan.metainfo.xml")

foreach(page ${CPACK_VELOTAN_MAN_PAGES})
  gzip("${CPACK_VELOTAN_BINARY_DIR}/man/${page}" "${share}/man/man1/${page}.gz")
endforeach()

set(doc "${share}/doc/velotan")
copy("${source}/packaging/debian/copyright" "${doc}/copyright")
gzip("${source}/packaging/debian/changelog" "${doc}/changelog.Debian.gz")
if(EXISTS "${source}/packaging/debian/lintian-overrides")
  copy("${source}/packaging/debian/lintian-overrides" "${share}/lintian/overrides/velotan")
endif()
