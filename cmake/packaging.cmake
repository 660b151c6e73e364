# Packages, both named after the project's version.
#  - velumo_<version>_<arch>.deb (target deb in the native build): jpgcmd,
#    tapsim with libtap.so, libijenc.a with ijenc.h and ijenc.pc, the native
#    plug-in, the sample disk and the man pages.  cmake/deb.sh makes it with
#    dpkg-deb from a DESTDIR install, with the licences, changelog and
#    maintainer scripts of cmake/debian.  The sample disk's names are
#    ISO-8859-1, as on a receiver, which a package cannot hold: it goes in
#    as a tar that postinst lays out.
#  - velumo-<version>-receiver.tar.gz (target receiver_package in the
#    receiver build): Velumo.so without its debug sections, the install
#    text, the default Velumo.ini, LICENSE and the fonts' OFL.txt; beside it
#    velumo-<version>-receiver-debug.tar.gz with Velumo.so.debug.
if(CMAKE_CROSSCOMPILING)
  set(_tar ${CMAKE_BINARY_DIR}/velumo-${PROJECT_VERSION}-receiver.tar.gz)
  set(_debugtar ${CMAKE_BINARY_DIR}/velumo-${PROJECT_VERSION}-receiver-debug.tar.gz)
  set(_emu "${CMAKE_CROSSCOMPILING_EMULATOR}")
  string(REPLACE ";" " " _emu "${_emu}")
  add_custom_command(OUTPUT ${_tar} ${_debugtar}
    COMMAND ${CMAKE_COMMAND} -E env TAPSIM_EMULATOR=${_emu} OBJCOPY=${CMAKE_OBJCOPY}
      bash ${CMAKE_SOURCE_DIR}/cmake/receiver/package.sh ${_tar} ${_debugtar}
      $<TARGET_FILE:Velumo> $<TARGET_FILE:tapsim> ${CMAKE_SOURCE_DIR}
    DEPENDS Velumo tapsim ${CMAKE_SOURCE_DIR}/cmake/receiver/package.sh
      ${CMAKE_SOURCE_DIR}/docs/receiver-install.txt ${CMAKE_SOURCE_DIR}/LICENSE
      ${CMAKE_SOURCE_DIR}/toolkit/fonts/OFL.txt
    VERBATIM)
  add_custom_target(receiver_package DEPENDS ${_tar} ${_debugtar})
  return()
endif()
if(VELUMO_FUZZ OR VELUMO_SANITIZE)
  return()
endif()

# The desktop side under /usr: tapsim finds its libtap.so beside the native
# plug-in in lib/velumo (a private library, so not on the loader's path).
install(TARGETS tapsim RUNTIME DESTINATION bin COMPONENT desktop)
set_target_properties(tapsim PROPERTIES INSTALL_RPATH "\$ORIGIN/../lib/velumo")
install(TARGETS tap Velumo LIBRARY DESTINATION lib/velumo COMPONENT desktop)
file(GLOB _man CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
install(FILES ${_man} DESTINATION share/man/man1 COMPONENT desktop)

# The sample disk, drawn by mksample.
set(_disk ${CMAKE_BINARY_DIR}/sample-disk)
add_custom_command(OUTPUT ${_disk}/.complete
  COMMAND bash ${CMAKE_SOURCE_DIR}/sample/make-disk.sh ${_disk} ${CMAKE_BINARY_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${_disk}/.complete
  DEPENDS mksample ${CMAKE_SOURCE_DIR}/sample/make-disk.sh VERBATIM)
add_custom_target(sample_disk ALL DEPENDS ${_disk}/.complete)
install(DIRECTORY ${_disk}/ DESTINATION share/velumo/disk COMPONENT desktop
  PATTERN .complete EXCLUDE)

add_custom_target(deb
  COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/deb.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}
    ${PROJECT_VERSION}
  VERBATIM)
add_dependencies(deb tapsim tap Velumo jpgcmd ijenc sample_disk)
