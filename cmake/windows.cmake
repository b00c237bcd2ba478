# What the Linux build finds through pkg-config and find_package, made for the Windows
# build under the same target names: the system's OpenGL and GLU libraries, stb's decoder
# and writer compiled once from their headers, the header-only number parser, and
# GoogleTest built from source. Included by the top-level CMakeLists.txt when WIN32.

# Windows headers without their rarely used parts and without the min/max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
# M_PI and the other constants of <cmath>, which the Windows headers hide by default.
add_compile_definitions(_USE_MATH_DEFINES)
if(MSVC)
  # MSVC's GL/gl.h needs <windows.h> first; MinGW's includes it itself. The Windows SDK has
  # no GL/glext.h: point MORVA_GLEXT_DIR at a folder holding Khronos' GL/glext.h and
  # KHR/khrplatform.h.
  add_compile_options(/FIwindows.h /utf-8)
  set(MORVA_GLEXT_DIR "" CACHE PATH "Folder with GL/glext.h and KHR/khrplatform.h (MSVC)")
  if(MORVA_GLEXT_DIR)
    include_directories(SYSTEM ${MORVA_GLEXT_DIR})
  endif()
endif()
if(MINGW)
  # Only system DLLs at run time: the GCC runtime and winpthread are linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

find_package(OpenGL REQUIRED COMPONENTS OpenGL)
add_library(PkgConfig::GLU INTERFACE IMPORTED)
set_target_properties(PkgConfig::GLU PROPERTIES INTERFACE_LINK_LIBRARIES glu32)

# Header-only libraries from the Debian packages (libstb-dev, libfast-float-dev), copied
# into the build folder so that the cross compiler sees them without the host's headers.
set(MORVA_WIN_INCLUDE ${PROJECT_BINARY_DIR}/win-include)
foreach(header stb_image.h stb_image_write.h)
  if(NOT EXISTS /usr/include/stb/${header})
    message(FATAL_ERROR "/usr/include/stb/${header} is missing: install libstb-dev")
  endif()
  configure_file(/usr/include/stb/${header} ${MORVA_WIN_INCLUDE}/stb/${header} COPYONLY)
endforeach()
if(NOT EXISTS /usr/include/fast_float/fast_float.h)
  message(FATAL_ERROR "/usr/include/fast_float is missing: install libfast-float-dev")
endif()
file(GLOB fast_float_headers /usr/include/fast_float/*.h)
file(COPY ${fast_float_headers} DESTINATION ${MORVA_WIN_INCLUDE}/fast_float)

file(WRITE ${PROJECT_BINARY_DIR}/stb_impl.c
  "#define STB_IMAGE_IMPLEMENTATION\n#include <stb/stb_image.h>\n"
  "#define STB_IMAGE_WRITE_IMPLEMENTATION\n#include <stb/stb_image_write.h>\n")
add_library(morva_stb STATIC ${PROJECT_BINARY_DIR}/stb_impl.c)
target_include_directories(morva_stb SYSTEM PUBLIC ${MORVA_WIN_INCLUDE} ${MORVA_WIN_INCLUDE}/stb)
# The decoder's own warnings are not ours to fix.
target_compile_options(morva_stb PRIVATE $<IF:$<C_COMPILER_ID:MSVC>,/w,-w>)
add_library(PkgConfig::STB ALIAS morva_stb)
include_directories(SYSTEM ${MORVA_WIN_INCLUDE})

# GoogleTest from Debian's source package (googletest), built with the project's compiler.
set(MORVA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(EXISTS ${MORVA_GTEST_SOURCE}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${MORVA_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
  message(FATAL_ERROR "${MORVA_GTEST_SOURCE} is missing: install the googletest package")
endif()
set(CMAKE_THREAD_PREFER_PTHREAD ON)
find_package(Threads REQUIRED)

# Test folders built for Windows (tests/CMakeLists.txt).
set(MORVA_WINDOWS_TEST_DIRS support_tests math model render project platform e2e CACHE STRING "Test folders built for Windows")
