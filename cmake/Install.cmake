# cmake --install: the two programs, the engine's libraries and headers, and a CMake package
# so that another project can find_package(VELK) and link VELK::velk (or one layer of it).
include(CMakePackageConfigHelpers)

set(VELK_INSTALL_CMAKEDIR lib/cmake/VELK)

# The headers, from the hand-written source lists, keep their folders under include/velk/,
# so that a program includes them as the tree does: #include "engine/CObjLoader.h".
foreach(layer velk-core velk-gl)
  get_target_property(sources ${layer} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.h$")
  target_sources(${layer} PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES ${sources})
endforeach()
target_include_directories(velk-core PUBLIC $<INSTALL_INTERFACE:include/velk>)

install(TARGETS velk-viewer velk-snapshot RUNTIME DESTINATION bin)
install(TARGETS velk-core velk-gl velk EXPORT VELKTargets
  ARCHIVE DESTINATION lib
  FILE_SET HEADERS DESTINATION include/velk)
install(EXPORT VELKTargets NAMESPACE VELK:: DESTINATION ${VELK_INSTALL_CMAKEDIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VELKConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VELKConfig.cmake INSTALL_DESTINATION ${VELK_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VELKConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VELKConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/VELKConfigVersion.cmake
  DESTINATION ${VELK_INSTALL_CMAKEDIR})
