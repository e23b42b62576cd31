// Function types of the plug-in's entry points (APCStartUpFn, ...), for the host side and the
// plug-in's own declarations alike.
#pragma once

#include <windows.h>

#include "contract/StdcallBytes.h"

#define APC_ENTRY(name, bytes, result, params) CORVANE_STDCALL_TYPES(name, bytes, result, params)
#include "plugin/entry/EntryPoints.h"
#undef APC_ENTRY
