# Settings of the product bundle's own tree (made by ProductBundle.cmake),
# included after CudaSetup.cmake. zig's clang links the bundle: of what nvcc
# would link by itself it takes nothing (the system's libstdc++, libgcc_s and
# start-up libraries are what the bundle must not need); the CUDA runtime
# comes in as CUDA::cudart_static names it.
set(CMAKE_CUDA_IMPLICIT_LINK_LIBRARIES "")
set(CMAKE_CUDA_IMPLICIT_LINK_DIRECTORIES "")
set(CMAKE_CUDA_RUNTIME_LIBRARY None)
# zig's linker driver takes neither --push-state nor -Xlinker.
set(CMAKE_CXX_LINK_LIBRARY_USING_WHOLE_ARCHIVE "-Wl,--whole-archive" "<LINK_ITEM>" "-Wl,--no-whole-archive")
set(CMAKE_CXX_LINK_LIBRARY_USING_WHOLE_ARCHIVE_SUPPORTED TRUE)
