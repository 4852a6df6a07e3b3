// The stand-in's process-long state is never destroyed (threads may still
// run at exit). Carried by a bundle that the host unloads and unmaps, its
// pointers go with the bundle while the memory stays: the leak checker is
// told that this memory is meant to outlive them.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_LEAK__)
#define CUDASIM_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define CUDASIM_LEAK_CHECKED 1
#endif
#endif

#if defined(CUDASIM_LEAK_CHECKED)
#include <sanitizer/lsan_interface.h>
#endif

namespace cudasim {

template <class T>
T* kept(T* p) {
#if defined(CUDASIM_LEAK_CHECKED)
  __lsan_ignore_object(p);
#endif
  return p;
}

}  // namespace cudasim
