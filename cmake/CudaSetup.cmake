# Finds nvcc and settles which compute capabilities the device code is built
# for. Machine code only, never PTX: nothing is compiled on the user's
# machine. Machine code runs on its own major version at the same or a higher
# minor, so one architecture per family covers it (8.0 runs on 8.7 and 8.8,
# 10.0 on 10.3, 12.0 on 12.1); 8.6 and 8.9, the consumer cards, get code of
# their own. 6.1 and 7.0 are built by a toolkit that still has them (CUDA 13
# starts at 7.5).
include(CheckLanguage)
check_language(CUDA)

set(KALTHORNE_WANTED_ARCHITECTURES 61 70 75 80 86 89 90 100 110 120)
set(KALTHORNE_HAVE_NVCC OFF)
if(CMAKE_CUDA_COMPILER)
  execute_process(COMMAND ${CMAKE_CUDA_COMPILER} --list-gpu-arch
                  OUTPUT_VARIABLE _nvcc_arches ERROR_QUIET
                  RESULT_VARIABLE _nvcc_rc)
  string(REGEX MATCHALL "compute_[0-9]+" _offered "${_nvcc_arches}")
  set(_supported "")
  foreach(_arch IN LISTS KALTHORNE_WANTED_ARCHITECTURES)
    if("compute_${_arch}" IN_LIST _offered)
      list(APPEND _supported ${_arch})
    endif()
  endforeach()
  if(NOT _supported)
    set(_supported 75)
  endif()
  # A list set by hand (for a quicker build) replaces the default; the
  # bundle's device-code test then says which families it leaves out. Build
  # folders configured before the default grew cached it: that entry goes.
  get_property(_doc CACHE KALTHORNE_CUDA_ARCHITECTURES PROPERTY HELPSTRING)
  if(_doc MATCHES "^Compute capabilities the device code is compiled for")
    unset(KALTHORNE_CUDA_ARCHITECTURES CACHE)
  endif()
  set(KALTHORNE_CUDA_ARCHITECTURES "" CACHE STRING
      "Compute capabilities to build machine code for, e.g. 86;89 (empty: every family the toolkit builds)")
  if(NOT KALTHORNE_CUDA_ARCHITECTURES)
    set(KALTHORNE_CUDA_ARCHITECTURES ${_supported})
  endif()
  # One kernel source builds for every architecture in the list; nvcc
  # compiles this many of them at once.
  set(KALTHORNE_NVCC_THREADS 4 CACHE STRING
      "Architectures one nvcc call compiles in parallel (0: one per CPU)")
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
  message(STATUS "nvcc not found: only the CPU build of the pipeline is made")
endif()
message(STATUS "Device code for compute capabilities: ${KALTHORNE_CUDA_ARCHITECTURES} (lowest ${KALTHORNE_MIN_COMPUTE_CAPABILITY})")

# cuobjdump for the kernel resource checks: the toolkit's own, or the copy
# tools/setup.sh puts in .tools/ when the toolkit came without it.
file(GLOB _cuobjdump_dirs LIST_DIRECTORIES true "${PROJECT_SOURCE_DIR}/.tools/cuobjdump/nvidia/cu*/bin")
find_program(KALTHORNE_CUOBJDUMP cuobjdump
             HINTS ${CUDAToolkit_BIN_DIR} /usr/local/cuda/bin ${_cuobjdump_dirs}
             DOC "cuobjdump used by the tests that inspect the built kernels")
