// Compiled into every Qt test program that links keldar-qt-test-support.
//
// The OpenGL driver is a library the display connection loads and unloads;
// it is unloaded when the application object goes, before the leak report at
// exit. Blocks the driver allocated and never freed are then reported from
// addresses where it no longer is, attributed to whatever library lies nearest,
// and no suppression can name them. Kept loaded to the end, its frames carry
// its own name (see scripts/lsan-suppressions.txt).

#include <QCoreApplication>

#include <dlfcn.h>
#include <link.h>

#include <string_view>

namespace {

void keepOpenGLDriversLoaded()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            const std::string_view name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            if (name.ends_with("_dri.so")) {
                // Only raises the reference count and marks it never to unload.
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

// The post routines run as the application object is destroyed, while the
// display connection, and with it the driver, is still there.
[[maybe_unused]] const bool registered = [] {
    qAddPostRoutine(keepOpenGLDriversLoaded);
    return true;
}();

} // namespace
