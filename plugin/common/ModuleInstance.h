// The plug-in's own module handle, which dialogs, pages and icons load their resources from.
// Set once when the library is attached.
#pragma once

#include <windows.h>

namespace corvane {

HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

}  // namespace corvane
