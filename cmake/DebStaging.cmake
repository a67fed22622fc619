# Run by CPack after the program folder is staged under /opt/velotan and
# before the package is made: adds what a system-wide install needs and a
# plain program folder does not.

if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(folder "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(data "${CPACK_VELOTAN_SOURCE_DIR}/data")

# The program folder belongs to every user: each one, root included, keeps
# their own files in their own data folder.
file(WRITE "${root}${folder}/shared-install"
     "This program folder is installed for every user; each user's own files live in\n"
     "$XDG_DATA_HOME/velotan (normally ~/.local/share/velotan).\n")

# velotan and velotan-cli on the PATH; the links resolve to the program
# folder, which the programs find through /proc/self/exe.
file(MAKE_DIRECTORY "${root}/usr/bin")
foreach(program velotan velotan-cli)
  file(CREATE_LINK "${folder}/${program}" "${root}/usr/bin/${program}" SYMBOLIC)
endforeach()

# file(INSTALL) would put DESTDIR, which CPack still has set, in front of
# these paths a second time; plain copies go where they are told.
set(icons "${root}/usr/share/icons/hicolor")
file(MAKE_DIRECTORY "${root}/usr/share/applications" "${icons}/scalable/apps")
file(COPY_FILE "${data}/velotan.desktop" "${root}/usr/share/applications/velotan.desktop")
file(COPY_FILE "${data}/icons/velotan.svg" "${icons}/scalable/apps/velotan.svg")
foreach(size 16 24 32 48 64 128 256)
  file(MAKE_DIRECTORY "${icons}/${size}x${size}/apps")
  file(COPY_FILE "${data}/icons/velotan-${size}.png" "${icons}/${size}x${size}/apps/velotan.png")
endforeach()
