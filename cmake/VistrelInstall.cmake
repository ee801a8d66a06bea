# Installation: the library, its public headers, the plug-in and its SDK headers, the host
# programs, and the CMake package (find_package(vistrel CONFIG)) with a pkg-config file.
include(CMakePackageConfigHelpers)

set(VISTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vistrel)
# The host SDK's headers keep their flat names, in a folder of their own.
set(VISTREL_SDK_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/algorithmfluorescence)
# Where installed programs look for their data, relative to their own folder.
set(VISTREL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/wheelvision)

set_target_properties(vistrel PROPERTIES EXPORT_NAME vistrel)
set_target_properties(algorithm_sdk PROPERTIES EXPORT_NAME algorithm_sdk)
set_target_properties(algorithmfluorescence PROPERTIES EXPORT_NAME algorithmfluorescence)
install(TARGETS vistrel vistrel_library qtcvutils algorithm_sdk algorithmfluorescence
  EXPORT vistrelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS wheelhost samplegen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/vistrel/include/vistrel
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/algorithm/sdk/
  DESTINATION ${VISTREL_SDK_INCLUDE_DIR} FILES_MATCHING PATTERN "*.h")
# samplegen writes the sample set here by default, and wheelhost reads it from here.
install(FILES ${PROJECT_SOURCE_DIR}/samples/README.md DESTINATION ${VISTREL_DATA_DIR}/samples)

install(EXPORT vistrelTargets NAMESPACE vistrel:: DESTINATION ${VISTREL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vistrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/vistrelConfig.cmake INSTALL_DESTINATION ${VISTREL_CMAKE_DIR})
# 0.x: a minor version may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/vistrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/vistrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/vistrelConfigVersion.cmake
  ${CMAKE_CURRENT_LIST_DIR}/FindOpenCVModules.cmake
  DESTINATION ${VISTREL_CMAKE_DIR})

# pkg-config: relocatable (paths from the file's own folder). Debian's OpenCV module packages
# ship no .pc file, so their flags are written out; they are public, as the API is OpenCV's
# matrices.
get_target_property(_ocv_include OpenCV::core INTERFACE_INCLUDE_DIRECTORIES)
set(VISTREL_PC_CFLAGS "-I\${includedir}")
foreach(_dir IN LISTS _ocv_include)
  string(APPEND VISTREL_PC_CFLAGS " -I${_dir}")
endforeach()
set(VISTREL_PC_OPENCV_LIBS "-lopencv_imgproc -lopencv_core")
if(VISTREL_SHARED)
  string(APPEND VISTREL_PC_CFLAGS " -DVISTREL_SHARED")
  set(VISTREL_PC_LIBS "-L\${libdir} -lvistrel ${VISTREL_PC_OPENCV_LIBS}")
else()
  # Whole, so that the modules that register themselves are found by name alone.
  set(VISTREL_PC_LIBS
      "-L\${libdir} -Wl,--whole-archive -lvistrel -Wl,--no-whole-archive ${VISTREL_PC_OPENCV_LIBS}")
endif()
file(RELATIVE_PATH VISTREL_PC_PREFIX_FROM_PCDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VISTREL_PC_PREFIX_FROM_PCDIR "${VISTREL_PC_PREFIX_FROM_PCDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/vistrel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/vistrel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vistrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
