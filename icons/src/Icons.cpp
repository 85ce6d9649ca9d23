#include <keldar/icons/Icons.h>

// The resources themselves are registered by the initialiser that rcc puts into
// the generated resource source of this library, which runs when it is loaded.
extern "C" void KD_Icons_initialise() {}
