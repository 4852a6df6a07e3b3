// Loads a bundle through the test host, describes it (the file-dialog layer
// starts there), unloads it and closes it as a host does; then nothing of the
// bundle's file may be mapped any more (/proc/self/maps). A bundle that left
// a destructor registered for the exit of the describing thread would stay
// mapped until that thread ends: in a host, its main thread, so for ever.
//
//   bundle_unload_after_describe BUNDLE
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/host/ofx_test_host.h"

int main(int argc, char** argv) {
  char path[PATH_MAX];
  if (argc != 2 || !realpath(argv[1], path)) {
    std::fprintf(stderr, "usage: %s BUNDLE (an existing file)\n", argv[0]);
    return 2;
  }
  {
    ofxtest::Host host;
    std::string error;
    if (!host.loadAndDescribe(path, &error)) {
      std::fprintf(stderr, "load and describe: %s\n", error.c_str());
      return 1;
    }
    const OfxStatus unloaded = host.callAction(kOfxActionUnload, nullptr, nullptr, nullptr);
    if (unloaded != kOfxStatOK && unloaded != kOfxStatReplyDefault) {
      std::fprintf(stderr, "unload: status %d\n", unloaded);
      return 1;
    }
  }
  // The host's handle and this one: closing both drops the last reference.
  void* library = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (!library) {
    std::fprintf(stderr, "the bundle was not loaded\n");
    return 1;
  }
  if (dlclose(library) != 0 || dlclose(library) != 0) {
    std::fprintf(stderr, "dlclose: %s\n", dlerror());
    return 1;
  }
  std::ifstream maps("/proc/self/maps");
  const std::string file = path;
  int mapped = 0;
  for (std::string line; std::getline(maps, line);)
    if (line.size() >= file.size() && line.compare(line.size() - file.size(), file.size(), file) == 0) {
      std::fprintf(stderr, "still mapped: %s\n", line.c_str());
      ++mapped;
    }
  return mapped == 0 ? 0 : 1;
}
