// Loads a bundle in a process of its own as a host does, calls both OpenFX
// entry points, unloads it and exits. Exit status 0 only when all of that
// went through: a bundle whose static objects are still registered for the
// process's exit after it is unloaded crashes the exit.
//
//   bundle_load_unload BUNDLE
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "ofx/ofxImageEffect.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s BUNDLE\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  const auto count = reinterpret_cast<int (*)()>(dlsym(library, "OfxGetNumberOfPlugins"));
  const auto plugin = reinterpret_cast<OfxPlugin* (*)(int)>(dlsym(library, "OfxGetPlugin"));
  if (!count || !plugin) {
    std::fprintf(stderr, "an OpenFX entry point is missing\n");
    return 1;
  }
  const int plugins = count();
  for (int i = 0; i < plugins; ++i) {
    const OfxPlugin* p = plugin(i);
    if (!p || !p->pluginApi || std::strcmp(p->pluginApi, kOfxImageEffectPluginApi) != 0 || !p->pluginIdentifier) {
      std::fprintf(stderr, "plug-in %d is not an image effect\n", i);
      return 1;
    }
    std::printf("%s %u.%u\n", p->pluginIdentifier, p->pluginVersionMajor, p->pluginVersionMinor);
  }
  if (plugins < 1) {
    std::fprintf(stderr, "the bundle has no plug-in\n");
    return 1;
  }
  if (dlclose(library) != 0) {
    std::fprintf(stderr, "dlclose: %s\n", dlerror());
    return 1;
  }
  std::fflush(stdout);
  return 0;
}
