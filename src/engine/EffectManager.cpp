#include "EffectManager.h"

#include <algorithm>

#include "ColorLut.h"
#include "FilterBase.h"
#include "FilterRegistry.h"

namespace EM {
namespace {

const ColorLut* ToneCurveOf(const IFilter& filter) {
    const auto* base = dynamic_cast<const FilterBase*>(&filter);
    return base != nullptr ? base->ToneCurve() : nullptr;
}

}  // namespace

struct EffectManager::ChainEntry {
    std::string name;
    std::string type;
    int layer;
    std::unique_ptr<IFilter> filter;
};

EffectManager::EffectManager() = default;
EffectManager::~EffectManager() = default;

EffectManager& EffectManager::Instance() {
    static EffectManager manager;
    return manager;
}

bool EffectManager::AddFilter(const std::string& name, const std::string& type,
                              const ParamMap& params) {
    if (Ref(name) != nullptr) {
        return false;
    }
    std::unique_ptr<IFilter> filter = CreateFilter(type);
    if (!filter) {
        return false;
    }
    filter->SetParam(params);
    chain_.push_back({name, type, ChainLayer(type), std::move(filter)});
    return true;
}

bool EffectManager::DelFilter(const std::string& name) {
    return TakeFilter(name) != nullptr;
}

std::unique_ptr<IFilter> EffectManager::MakeFilter(const std::string& type,
                                                   const ParamMap& params) {
    std::unique_ptr<IFilter> filter = CreateFilter(type);
    if (filter) {
        filter->SetParam(params);
    }
    return filter;
}

bool EffectManager::AddInstance(const std::string& name, const std::string& type,
                                std::unique_ptr<IFilter>&& filter) {
    if (!filter || Ref(name) != nullptr) {
        return false;
    }
    chain_.push_back({name, type, ChainLayer(type), std::move(filter)});
    return true;
}

std::unique_ptr<IFilter> EffectManager::TakeFilter(const std::string& name) {
    auto it = std::find_if(chain_.begin(), chain_.end(),
                           [&](const ChainEntry& i) { return i.name == name; });
    if (it == chain_.end()) {
        return nullptr;
    }
    std::unique_ptr<IFilter> filter = std::move(it->filter);
    chain_.erase(it);
    return filter;
}

IFilter* EffectManager::Ref(const std::string& name) {
    for (auto& instance : chain_) {
        if (instance.name == name) {
            return instance.filter.get();
        }
    }
    return nullptr;
}

void EffectManager::Prepare(int width, int height) {
    for (auto& instance : chain_) {
        instance.filter->Prepare(width, height);
    }
}

bool EffectManager::DoFilter(EffectImage* image) {
    if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0 ||
        image->stride < int64_t{image->width} * 3) {
        return false;
    }
    for (int layer = 0; layer < kChainLayers; ++layer) {
        // A layer's tone curves run first, several of them folded into one pass (the curves of a
        // layer come in the order of adding, as do the layer's other filters after them).
        IFilter* onlyCurve = nullptr;
        int curves = 0;
        ColorLut folded;
        for (auto& instance : chain_) {
            const ColorLut* curve =
                instance.layer == layer ? ToneCurveOf(*instance.filter) : nullptr;
            if (curve != nullptr) {
                folded = curves++ == 0 ? *curve : folded.Then(*curve);
                onlyCurve = instance.filter.get();
            }
        }
        if (curves == 1) {
            onlyCurve->Process(*image);
        } else if (curves > 1) {
            folded.Apply(*image);
        }
        for (auto& instance : chain_) {
            if (instance.layer == layer && ToneCurveOf(*instance.filter) == nullptr) {
                instance.filter->Process(*image);
            }
        }
    }
    return true;
}

std::vector<FilterInfo> EffectManager::List() const {
    std::vector<FilterInfo> list;
    for (const auto& instance : chain_) {
        list.push_back({instance.name, instance.type, instance.filter->Params()});
    }
    return list;
}

std::vector<std::string> EffectManager::FilterTypes() {
    return RegisteredFilterTypes();
}

}  // namespace EM
