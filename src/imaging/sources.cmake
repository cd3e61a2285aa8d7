list(APPEND ORVANE_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/codecs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_encode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/image_extensions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lanczos.cpp
  ${CMAKE_CURRENT_LIST_DIR}/source_image.cpp
)
# The resampling loops are written to vectorise; -O3 lets the compiler do it.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/lanczos.cpp PROPERTIES COMPILE_OPTIONS -O3)
# libjpeg-turbo's TurboJPEG interface: fast JPEG decoding and encoding.
find_library(ORVANE_TURBOJPEG turbojpeg REQUIRED)
# orvane_core is created after the folders are read: link it once it exists.
cmake_language(DEFER CALL target_link_libraries orvane_core PUBLIC
  ${ORVANE_TURBOJPEG})
