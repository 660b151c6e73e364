# zlib, libpng and libjpeg-turbo.  Natively they come from the system; the
# receiver build links the static archives of Debian's mipsel packages,
# unpacked into a project-local sysroot by tools/deps.sh.
if(CMAKE_CROSSCOMPILING)
  set(_lib ${VELUMO_SYSROOT}/usr/lib/mipsel-linux-gnu)
  set(_inc ${VELUMO_SYSROOT}/usr/include)
  foreach(f ${_lib}/libz.a ${_lib}/libpng16.a ${_lib}/libjpeg.a ${_inc}/mipsel-linux-gnu/jconfig.h)
    if(NOT EXISTS ${f})
      message(FATAL_ERROR "${f} is missing: run 'make deps'")
    endif()
  endforeach()
  add_library(ZLIB::ZLIB STATIC IMPORTED)
  set_target_properties(ZLIB::ZLIB PROPERTIES IMPORTED_LOCATION ${_lib}/libz.a
    INTERFACE_INCLUDE_DIRECTORIES ${_inc})
  add_library(PNG::PNG STATIC IMPORTED)
  set_target_properties(PNG::PNG PROPERTIES IMPORTED_LOCATION ${_lib}/libpng16.a
    INTERFACE_INCLUDE_DIRECTORIES "${_inc}/libpng16;${_inc}"
    INTERFACE_LINK_LIBRARIES "ZLIB::ZLIB;m")
  add_library(JPEG::JPEG STATIC IMPORTED)
  set_target_properties(JPEG::JPEG PROPERTIES IMPORTED_LOCATION ${_lib}/libjpeg.a
    INTERFACE_INCLUDE_DIRECTORIES "${_inc};${_inc}/mipsel-linux-gnu")
else()
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
endif()

# GoogleTest from source, the same way in both builds.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
