# What a receiver can load: the plug-in imports only the plain C library
# names of libc.list and the firmware's TAP_* calls, exports only the names of
# Velumo.map, and brings zlib and the compiler's support routines with it.
# abicheck.sh holds the build to that.
set(VELUMO_ABI_DIR ${CMAKE_CURRENT_LIST_DIR})

# Code compiled into a plug-in: open/lseek rather than their *64 twins, and
# no stack-protector or fortify calls, which a receiver's C library may lack
# (the flags come after any from CFLAGS/CXXFLAGS, so they win).
function(velumo_receiver_code target)
  target_compile_options(${target} PRIVATE -U_FILE_OFFSET_BITS -U_FORTIFY_SOURCE
    -fno-stack-protector)
endfunction()

# Links a plug-in the receiver's way and checks it after every link, which
# also prints its size.  The processor level is the toolchain's default,
# MIPS32 release 2 with hardware floating point (o32, FPXX): the static zlib
# and libgcc of the Debian toolchain are built for it, so a lower level
# would need both rebuilt.
function(velumo_plugin_abi target)
  target_link_options(${target} PRIVATE -Wl,--version-script=${VELUMO_ABI_DIR}/Velumo.map)
  # A changed rule or list checks the plug-in again.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VELUMO_ABI_DIR}/Velumo.map
    ${VELUMO_ABI_DIR}/libc.list ${VELUMO_ABI_DIR}/abicheck.sh)
  set(check bash ${VELUMO_ABI_DIR}/abicheck.sh -m ${VELUMO_ABI_DIR}/Velumo.map
    -v ${PROJECT_VERSION})
  if(CMAKE_CROSSCOMPILING)
    # No C library, start files or libgcc_s: the C library is the firmware
    # process's own, found unversioned; libgcc.a comes in whole where needed.
    # zlib must come before libtap.so, which carries a copy of its own.
    target_link_options(${target} PRIVATE -nostdlib)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/plugin/receiver_runtime.cpp)
    target_link_libraries(${target} PRIVATE ZLIB::ZLIB tap gcc)
    set_target_properties(${target} PROPERTIES SKIP_BUILD_RPATH ON)
    list(APPEND check -r -l ${VELUMO_ABI_DIR}/libc.list -t $<TARGET_FILE:tap>)
  else()
    target_link_libraries(${target} PRIVATE tap ZLIB::ZLIB ${CMAKE_DL_LIBS})
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  set(VELUMO_ABI_CHECK ${check} PARENT_SCOPE)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env READELF=${CMAKE_READELF} ${check} $<TARGET_FILE:${target}>
    VERBATIM)
  add_test(NAME abi_check COMMAND ${CMAKE_COMMAND} -E env READELF=${CMAKE_READELF} ${check}
    $<TARGET_FILE:${target}>)
endfunction()
