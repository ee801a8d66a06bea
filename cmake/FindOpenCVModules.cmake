# Finds the three OpenCV modules the project uses (core, imgproc, imgcodecs).
# Debian's per-module packages ship no CMake config and no pkg-config file, so a config
# package is used only where one exists; otherwise headers and libraries are located directly.
# Defines the imported targets OpenCV::core, OpenCV::imgproc and OpenCV::imgcodecs.

set(_ocv_modules core imgproc imgcodecs)

find_package(OpenCV QUIET CONFIG COMPONENTS ${_ocv_modules})
if(OpenCV_FOUND)
  foreach(_m IN LISTS _ocv_modules)
    if(NOT TARGET OpenCV::${_m})
      add_library(OpenCV::${_m} INTERFACE IMPORTED)
      set_target_properties(OpenCV::${_m} PROPERTIES
        INTERFACE_LINK_LIBRARIES opencv_${_m}
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCV_INCLUDE_DIRS}")
    endif()
  endforeach()
  set(OpenCVModules_FOUND TRUE)
  set(OpenCVModules_VERSION ${OpenCV_VERSION})
  return()
endif()

find_path(OpenCVModules_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(_ocv_libs)
foreach(_m IN LISTS _ocv_modules)
  find_library(OpenCVModules_${_m}_LIBRARY NAMES opencv_${_m})
  list(APPEND _ocv_libs OpenCVModules_${_m}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVModules REQUIRED_VARS OpenCVModules_INCLUDE_DIR ${_ocv_libs})

if(OpenCVModules_FOUND)
  foreach(_m IN LISTS _ocv_modules)
    if(NOT TARGET OpenCV::${_m})
      add_library(OpenCV::${_m} UNKNOWN IMPORTED)
      set_target_properties(OpenCV::${_m} PROPERTIES
        IMPORTED_LOCATION "${OpenCVModules_${_m}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCVModules_INCLUDE_DIR}")
    endif()
  endforeach()
  set_property(TARGET OpenCV::imgproc APPEND PROPERTY INTERFACE_LINK_LIBRARIES OpenCV::core)
  set_property(TARGET OpenCV::imgcodecs APPEND PROPERTY INTERFACE_LINK_LIBRARIES OpenCV::imgproc)
endif()
