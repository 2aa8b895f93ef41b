# What `cmake --install` puts under the prefix, in two components:
#   runtime      bin/mml; share/mml (resource catalogue, demo data, example
#                site scripts); share/doc/mml; share/man/man1
#   development  the impact query interface (KelLnkAPI) for other programs:
#                the static libraries of its layers, their headers under
#                include/mml, a CMake package
#                (find_package(mml), target mml::mml) and a pkg-config file
#                (mml.pc); the example program under share/doc/mml/examples
# Every path is relative to the prefix, so an installed tree can be moved.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(MML_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/mml)
set(MML_DOC_DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mml)
set(MML_INCLUDE_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/mml)
set(MML_CMAKE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/mml)

# --- runtime ---------------------------------------------------------------
install(TARGETS mml RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
# The window program, when it is built, sits beside mml, which runs it from
# there. It may be declared after this file is read: look at the end.
function(mml_install_window_program)
  if(TARGET mml-ui)
    install(TARGETS mml-ui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL mml_install_window_program)
# The layout the program looks for next to itself (src/host/mml_data_dir.h).
install(FILES ${CMAKE_SOURCE_DIR}/resources/KelLnkResource DESTINATION ${MML_DATA_DESTINATION} COMPONENT runtime)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/demo DESTINATION ${MML_DATA_DESTINATION} COMPONENT runtime)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/scripts/site DESTINATION ${MML_DATA_DESTINATION}/scripts COMPONENT runtime
        USE_SOURCE_PERMISSIONS)
file(GLOB MML_DOCS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${MML_DOCS} DESTINATION ${MML_DOC_DESTINATION} COMPONENT runtime)
if(HELP2MAN)
  install(DIRECTORY ${MML_MAN_DIR}/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime
          FILES_MATCHING PATTERN "*.1.gz")
endif()

# --- development -----------------------------------------------------------
# The query interface and the layers below it, one static library per layer,
# linked all together through mml::mml; their headers are those of the same
# layers (src/CMakeLists.txt draws them).
set(MML_QUERY_LIBRARIES mml_linkdb mml_foundation mml_host mml_host_db mml_base)
foreach(library ${MML_QUERY_LIBRARIES})
  target_compile_features(${library} PUBLIC cxx_std_20)
  set_property(TARGET ${library} PROPERTY INTERFACE_INCLUDE_DIRECTORIES
               $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src> $<INSTALL_INTERFACE:${MML_INCLUDE_DESTINATION}>)
endforeach()
add_library(mml_query_interface INTERFACE)
target_link_libraries(mml_query_interface INTERFACE ${MML_QUERY_LIBRARIES})
set_target_properties(mml_query_interface PROPERTIES EXPORT_NAME mml)
install(TARGETS ${MML_QUERY_LIBRARIES} mml_query_interface EXPORT mmlTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
# The navigator, the dialog toolkit and its Qt binding serve the windows only.
foreach(layer base foundation host linkdb)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/${layer} DESTINATION ${MML_INCLUDE_DESTINATION} COMPONENT development
          FILES_MATCHING PATTERN "*.h" PATTERN "navigator" EXCLUDE PATTERN "dlg" EXCLUDE PATTERN "qt" EXCLUDE)
endforeach()
install(EXPORT mmlTargets NAMESPACE mml:: DESTINATION ${MML_CMAKE_DESTINATION} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/mmlConfig.cmake.in ${CMAKE_BINARY_DIR}/mmlConfig.cmake
                              INSTALL_DESTINATION ${MML_CMAKE_DESTINATION})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/mmlConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/mmlConfig.cmake ${CMAKE_BINARY_DIR}/mmlConfigVersion.cmake
        DESTINATION ${MML_CMAKE_DESTINATION} COMPONENT development)
# The pkg-config file finds the prefix from its own place (${pcfiledir}).
list(TRANSFORM MML_QUERY_LIBRARIES PREPEND -l OUTPUT_VARIABLE MML_PC_LIBRARIES)
list(JOIN MML_PC_LIBRARIES " " MML_PC_LIBRARIES)
file(RELATIVE_PATH MML_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" MML_PC_TO_PREFIX "${MML_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/mml.pc.in ${CMAKE_BINARY_DIR}/mml.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/mml.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${MML_DOC_DESTINATION}/examples COMPONENT development)
