// One rule in a line for a reader: target, pattern, flags and destination. Platform-free.
#pragma once

#include <string>

#include "plugin/rules/DistributeRule.h"

namespace corvane {

std::string describeRule(const DistributeRule& rule);

}  // namespace corvane
