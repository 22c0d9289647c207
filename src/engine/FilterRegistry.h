#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EffectManager.h"

namespace EM {

// A new filter of the named type, or nullptr for an unknown type.
std::unique_ptr<IFilter> CreateFilter(const std::string& type);
std::vector<std::string> RegisteredFilterTypes();

}  // namespace EM
