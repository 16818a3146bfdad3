// Linked into every executable of the sanitizer build (and only there).
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>

// Defaults for the sanitizers, so that ctest, the e2e scripts and a hand-run binary all behave the
// same; an *_OPTIONS variable in the environment still overrides them.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1";
}
extern "C" const char *__lsan_default_options() {
    return "suppressions=" BV_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
extern "C" const char *__ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// The GL driver that libGLX loads keeps its one-time allocations in its own globals and is unmapped
// when the display closes; LeakSanitizer then finds those blocks unreferenced and cannot even name
// their library. Leaving the driver mapped until exit keeps such blocks reachable, so the leak
// check reports only real leaks.
extern "C" int dlclose(void *handle) {
    struct link_map *map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
        std::strstr(map->l_name, "_dri.so"))
        return 0;
    static int (*real_dlclose)(void *) = reinterpret_cast<int (*)(void *)>(dlsym(RTLD_NEXT, "dlclose"));
    return real_dlclose ? real_dlclose(handle) : 0;
}

// A driver left mapped also leaves llvmpipe's rasterizer threads running at exit, and the leak
// check's stop-the-world tracer then crashes now and then; llvmpipe rasterizes on the calling
// thread instead (the pictures are the same).
__attribute__((constructor)) static void sanitizer_support_single_threaded_llvmpipe() {
    setenv("LP_NUM_THREADS", "0", 0);
}
