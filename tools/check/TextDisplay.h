// Message and rule texts made readable for the checker's output: the plug-in's own display
// helpers.
#pragma once

#include "plugin/text/DisplayText.h"
