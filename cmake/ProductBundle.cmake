# The product bundle is built in a CMake tree of its own, build/product, from
# the same sources, so that it loads in every Linux host of the VFX Reference
# Platform: glibc 2.28 or newer, whatever C++ runtime the host brings.
#  - Host C and C++ code is compiled by zig's clang for x86_64-linux-gnu.2.28
#    (against glibc 2.28's symbol versions) and linked with zig's own C++
#    runtime, static and hidden, so the bundle needs neither libstdc++ nor
#    libgcc_s.
#  - nvcc compiles the .cu files with the system g++ as host compiler; their
#    host side uses nothing of the C++ library beyond the language runtime.
# The test tree itself stays on the system compiler. Included from
# plugin/CMakeLists.txt; defines the target Kalthorne (the sub-build) and
# KALTHORNE_PRODUCT_BUNDLE, the path of the built bundle.
include(ExternalProject)

set(KALTHORNE_PRODUCT_TARGET x86_64-linux-gnu.2.28)
find_program(KALTHORNE_ZIG zig PATHS ${PROJECT_SOURCE_DIR}/.tools/ziglang/ziglang NO_DEFAULT_PATH
             DOC "zig that builds the product bundle's host code (tools/setup.sh installs it in .tools/)")
if(NOT KALTHORNE_ZIG)
  message(WARNING "zig not found in .tools/ (tools/setup.sh installs it): the product bundle Kalthorne is not built")
  return()
endif()

# Compiler commands for the sub-build. Release builds pass -O, so zig adds no
# sanitizer of its own.
set(_toolchain ${CMAKE_BINARY_DIR}/product-toolchain)
foreach(_driver cc c++)
  file(WRITE ${_toolchain}/${_driver}
       "#!/bin/sh\nexec \"${KALTHORNE_ZIG}\" ${_driver} -target ${KALTHORNE_PRODUCT_TARGET} \"$@\"\n")
  file(CHMOD ${_toolchain}/${_driver} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
endforeach()

# nvcc's host compiler: the one this tree's CUDA uses, else its C++ compiler.
set(_cuda_host_compiler ${CMAKE_CUDA_HOST_COMPILER})
if(NOT _cuda_host_compiler)
  set(_cuda_host_compiler ${CMAKE_CXX_COMPILER})
endif()

set(KALTHORNE_PRODUCT_BUNDLE ${CMAKE_BINARY_DIR}/Kalthorne.ofx.bundle/Contents/Linux-x86-64/Kalthorne.ofx)
# Recursive make shares the outer build's job slots.
if(CMAKE_GENERATOR MATCHES "Makefiles")
  set(_build_command "$(MAKE)" Kalthorne)
else()
  set(_build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target Kalthorne)
endif()
ExternalProject_Add(Kalthorne
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/product
  CMAKE_CACHE_ARGS
    -DKALTHORNE_PRODUCT_TREE:BOOL=ON
    -DKALTHORNE_BUILD_TESTS:BOOL=OFF
    -DKALTHORNE_BUNDLE_DIR:PATH=${CMAKE_BINARY_DIR}
    -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
    -DCMAKE_C_COMPILER:FILEPATH=${_toolchain}/cc
    -DCMAKE_CXX_COMPILER:FILEPATH=${_toolchain}/c++
    -DCMAKE_CUDA_COMPILER:FILEPATH=${CMAKE_CUDA_COMPILER}
    -DCMAKE_CUDA_HOST_COMPILER:FILEPATH=${_cuda_host_compiler}
    -DKALTHORNE_CUDA_ARCHITECTURES:STRING=${KALTHORNE_CUDA_ARCHITECTURES}
    -DKALTHORNE_NVCC_THREADS:STRING=${KALTHORNE_NVCC_THREADS}
    # The CUDA runtime's use of librt as a library for zig to link, not the
    # system's static archive.
    -DCUDAToolkit_rt_LIBRARY:STRING=rt
  BUILD_COMMAND ${_build_command}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${KALTHORNE_PRODUCT_BUNDLE})

# Install: PREFIX/Kalthorne.ofx.bundle/Contents/Linux-x86-64/Kalthorne.ofx,
# without debug sections. Without a prefix, the folder OpenFX hosts search.
# A build folder configured when the folder was a setting of its own keeps it.
if(DEFINED CACHE{KALTHORNE_OFX_PLUGIN_DIR})
  set(CMAKE_INSTALL_PREFIX ${KALTHORNE_OFX_PLUGIN_DIR} CACHE PATH "Install prefix" FORCE)
  unset(KALTHORNE_OFX_PLUGIN_DIR CACHE)
elseif(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr/OFX/Plugins CACHE PATH "Install prefix: the folder the bundle goes in" FORCE)
endif()
set(_installed Kalthorne.ofx.bundle/Contents/Linux-x86-64)
install(PROGRAMS ${KALTHORNE_PRODUCT_BUNDLE} DESTINATION ${_installed})
install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --strip-debug
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${_installed}/Kalthorne.ofx\"
                COMMAND_ERROR_IS_FATAL ANY)")
