# Finds nvcc and settles which compute capabilities the device code is built
# for. The product wants 6.1, 7.0 and 7.5; a toolkit that has dropped some of
# them (CUDA 13 keeps only 7.5) builds the ones it still has.
include(CheckLanguage)
if(KALTHORNE_BUILD_PRODUCT)
  check_language(CUDA)
endif()

set(KALTHORNE_WANTED_ARCHITECTURES 61 70 75)
set(KALTHORNE_HAVE_NVCC OFF)
if(CMAKE_CUDA_COMPILER)
  execute_process(COMMAND ${CMAKE_CUDA_COMPILER} --list-gpu-arch
                  OUTPUT_VARIABLE _nvcc_arches ERROR_QUIET
                  RESULT_VARIABLE _nvcc_rc)
  set(_supported "")
  foreach(_arch IN LISTS KALTHORNE_WANTED_ARCHITECTURES)
    if(_nvcc_arches MATCHES "compute_${_arch}")
      list(APPEND _supported ${_arch})
    endif()
  endforeach()
  if(NOT _supported)
    set(_supported 75)
  endif()
  set(KALTHORNE_CUDA_ARCHITECTURES "${_supported}" CACHE STRING
      "Compute capabilities the device code is compiled for (ahead of time, no PTX)")
  # Real SASS only: no intermediate form is embedded.
  set(CMAKE_CUDA_ARCHITECTURES "")
  foreach(_arch IN LISTS KALTHORNE_CUDA_ARCHITECTURES)
    list(APPEND CMAKE_CUDA_ARCHITECTURES "${_arch}-real")
  endforeach()
  enable_language(CUDA)
  find_package(CUDAToolkit REQUIRED)
  set(KALTHORNE_HAVE_NVCC ON)
  # The lowest capability compiled is the lowest a device may have.
  list(SORT KALTHORNE_CUDA_ARCHITECTURES COMPARE NATURAL)
  list(GET KALTHORNE_CUDA_ARCHITECTURES 0 KALTHORNE_MIN_COMPUTE_CAPABILITY)
else()
  find_package(CUDAToolkit QUIET)
  set(KALTHORNE_MIN_COMPUTE_CAPABILITY 75)
  message(STATUS "nvcc not found or not wanted: only the CPU build of the pipeline is made")
endif()
message(STATUS "Device code for compute capabilities: ${KALTHORNE_CUDA_ARCHITECTURES} (lowest ${KALTHORNE_MIN_COMPUTE_CAPABILITY})")

# cuobjdump for the kernel resource checks: the toolkit's own, or the copy
# tools/setup.sh puts in .tools/ when the toolkit came without it.
file(GLOB _cuobjdump_dirs LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/.tools/cuobjdump/nvidia/cu*/bin")
find_program(KALTHORNE_CUOBJDUMP cuobjdump
             HINTS ${CUDAToolkit_BIN_DIR} /usr/local/cuda/bin ${_cuobjdump_dirs}
             DOC "cuobjdump used by the tests that inspect the built kernels")
