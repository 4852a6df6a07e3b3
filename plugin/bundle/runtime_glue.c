/* Linked into the product bundle only, which zig's clang links with a C++
 * runtime of its own and without the system's start-up objects. */

/* The start-up objects' handle of this shared object, under which the C++
 * runtime registers the destructors of its static objects, and their call
 * that runs them when the host unloads the bundle. Without it they would run
 * at the host's exit, after the code is gone. Priority 101 puts the call
 * after every other destructor function of the bundle, where the start-up
 * objects put it. */
__attribute__((visibility("hidden"))) void* __dso_handle = &__dso_handle;

extern void __cxa_finalize(void* dso);

__attribute__((destructor(101))) static void finalize_static_objects(void) { __cxa_finalize(&__dso_handle); }

/* The device library's headers include <iostream> under nvcc, whose host side
 * is compiled against the system's C++ library: each such file constructs
 * and destroys a std::ios_base::Init of that library. Nothing of the bundle
 * uses those streams, so the two are empty here (the names are the system
 * library's). */
__attribute__((visibility("hidden"))) void system_ios_init_construct(void* self) __asm__("_ZNSt8ios_base4InitC1Ev");
__attribute__((visibility("hidden"))) void system_ios_init_destroy(void* self) __asm__("_ZNSt8ios_base4InitD1Ev");

void system_ios_init_construct(void* self) { (void)self; }
void system_ios_init_destroy(void* self) { (void)self; }
