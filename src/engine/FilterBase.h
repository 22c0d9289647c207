#pragma once
// Common ground of every filter: the merged parameter map and typed readers that fall back to a
// default on a missing or malformed value, so bad input never stops a filter.

#include <string>

#include "EffectManager.h"

namespace EM {

struct ColorLut;

class FilterBase : public IFilter {
public:
    bool SetParam(const ParamMap& params) final;
    const ParamMap& Params() const final { return params_; }
    // A filter whose whole effect is one tone curve per channel returns it here, so that the
    // chain can fold several such filters into one pass; others return nullptr.
    virtual const ColorLut* ToneCurve() const { return nullptr; }

protected:
    // Called after every SetParam (and once on creation); rebuild per-frame tables here.
    virtual void OnParamsChanged() {}

    std::string StringParam(const std::string& key, const std::string& fallback) const;
    // An integer in [lo, hi]; anything else gives `fallback`.
    int IntParam(const std::string& key, int fallback, int lo, int hi) const;
    double DoubleParam(const std::string& key, double fallback, double lo, double hi) const;
    // "true"/"1" and "false"/"0"; anything else gives `fallback`.
    bool BoolParam(const std::string& key, bool fallback) const;

private:
    ParamMap params_;
};

}  // namespace EM
