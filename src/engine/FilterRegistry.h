#pragma once

#include <memory>
#include <string>
#include <vector>

#include "EffectManager.h"

namespace EM {

// A new filter of the named type, or nullptr for an unknown type.
std::unique_ptr<IFilter> CreateFilter(const std::string& type);
// When filters of the type run: layer 0 first, up to kChainLayers - 1.
constexpr int kChainLayers = 6;
int ChainLayer(const std::string& type);
std::vector<std::string> RegisteredFilterTypes();

}  // namespace EM
