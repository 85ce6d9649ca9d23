#pragma once

// keldar-icons holds the shared icon set as Qt resources under ":/keldar-icons/".
// They are registered by the library's own static initialiser as soon as it is
// loaded; nothing needs to be called at run time.

#if defined(_WIN32)
#define KELDAR_ICONS_EXPORT __declspec(dllexport)
#else
#define KELDAR_ICONS_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Does nothing. A program calls it once so that the linker keeps the library
// (and with it the resources) even when nothing else refers to it.
KELDAR_ICONS_EXPORT void KD_Icons_initialise();
}
