# Installs libpdf417read, its header and the program, with a CMake package
# (find_package(pdf417read CONFIG) gives pdf417read::pdf417read) and a
# pkg-config file. Both are relocatable: they find the prefix from where they
# lie, so `cmake --install build --prefix DIR` works for any DIR.
include(CMakePackageConfigHelpers)

set(PDF417_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pdf417read)
set(PDF417_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(BUILD_SHARED_LIBS AND TARGET pdf417read)
  # The installed program finds libpdf417read where it was installed with it.
  file(RELATIVE_PATH program_to_libdir ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(pdf417read PROPERTIES INSTALL_RPATH "$ORIGIN/${program_to_libdir}")
endif()

install(TARGETS pdf417read_library EXPORT pdf417readTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET pdf417read)
  install(TARGETS pdf417read RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/include/pdf417read/pdf417read.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pdf417read)

install(EXPORT pdf417readTargets NAMESPACE pdf417read:: DESTINATION ${PDF417_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pdf417readConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pdf417readConfig.cmake INSTALL_DESTINATION ${PDF417_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pdf417readConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pdf417readConfig.cmake
  ${PROJECT_BINARY_DIR}/pdf417readConfigVersion.cmake DESTINATION ${PDF417_CMAKE_DIR})

# pkg-config: the prefix is found from the .pc file's own folder.
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_PREFIX}/${PDF417_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
set(PDF417_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
set(PDF417_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(PDF417_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(PDF417_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(PDF417_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
endif()
if(BUILD_SHARED_LIBS)
  set(PDF417_PC_CFLAGS " -DPDF417READ_SHARED")
  set(PDF417_PC_LIBS_PRIVATE "")
else()
  # A static library brings its own dependencies to the user's link line.
  set(PDF417_PC_CFLAGS "")
  set(PDF417_PC_LIBS_PRIVATE "-lm")
  if(PDF417_HAVE_SPNG)
    string(APPEND PDF417_PC_LIBS_PRIVATE " -lspng")
  endif()
  foreach(library ${PDF417_PICTURE_LIBRARIES})
    string(APPEND PDF417_PC_LIBS_PRIVATE " -l${library}")
  endforeach()
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/pdf417read.pc.in ${PROJECT_BINARY_DIR}/pdf417read.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pdf417read.pc DESTINATION ${PDF417_PKGCONFIG_DIR})
