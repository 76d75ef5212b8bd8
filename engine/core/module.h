// The engine library's own module handle, from which resources are loaded.
#pragma once

#include <windows.h>

// The engine library's module; inside a test program linked statically, the program itself.
HINSTANCE EngineModule();
