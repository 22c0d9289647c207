#include "FilterBase.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace EM {

bool FilterBase::SetParam(const ParamMap& params) {
    for (const auto& [key, value] : params) {
        params_[key] = value;
    }
    OnParamsChanged();
    return true;
}

std::string FilterBase::StringParam(const std::string& key, const std::string& fallback) const {
    auto it = params_.find(key);
    return it == params_.end() || it->second.empty() ? fallback : it->second;
}

int FilterBase::IntParam(const std::string& key, int fallback, int lo, int hi) const {
    auto it = params_.find(key);
    if (it == params_.end()) {
        return fallback;
    }
    const std::string& text = it->second;
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
        return fallback;
    }
    return value;
}

double FilterBase::DoubleParam(const std::string& key, double fallback, double lo,
                               double hi) const {
    auto it = params_.find(key);
    if (it == params_.end() || it->second.empty()) {
        return fallback;
    }
    // Read without the process locale (the GUI toolkit sets the user's), and take a decimal comma
    // too: the sender prints its fractions with "%.2f", which follows that locale.
    std::string text = it->second;
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < lo || value > hi) {
        return fallback;
    }
    return value;
}

bool FilterBase::BoolParam(const std::string& key, bool fallback) const {
    auto it = params_.find(key);
    if (it == params_.end()) {
        return fallback;
    }
    if (it->second == "true" || it->second == "1") {
        return true;
    }
    if (it->second == "false" || it->second == "0") {
        return false;
    }
    return fallback;
}

}  // namespace EM
