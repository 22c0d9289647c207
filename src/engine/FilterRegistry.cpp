#include "FilterRegistry.h"

#include "filters/BrightFilter.h"
#include "filters/DomainTransformFilter.h"
#include "filters/MirrorFilter.h"
#include "filters/MovieFilter.h"
#include "filters/OverlayFilter.h"
#include "filters/ScaleFilter.h"
#include "filters/SunFilter.h"
#include "filters/SweetFilter.h"
#include "filters/TextFilter.h"
#include "filters/WhiterFilter.h"

namespace EM {
namespace {

template <typename Filter>
std::unique_ptr<IFilter> Make() {
    return std::make_unique<Filter>();
}

struct FilterType {
    const char* name;
    std::unique_ptr<IFilter> (*create)();
};

// The one table of filter types the engine knows.
constexpr FilterType kFilterTypes[] = {
    {"TextFilter", &Make<TextFilter>},
    {"BrightFilter", &Make<BrightFilter>},
    {"ScaleFilter", &Make<ScaleFilter>},
    {"OverlayFilter", &Make<OverlayFilter>},
    {"MirrorFilter", &Make<MirrorFilter>},
    {"WhiterFilter", &Make<WhiterFilter>},
    {"DomainTransformFilter", &Make<DomainTransformFilter>},
    {"SunFilter", &Make<SunFilter>},
    {"MovieFilter", &Make<MovieFilter>},
    {"SweetFilter", &Make<SweetFilter>},
};

}  // namespace

std::unique_ptr<IFilter> CreateFilter(const std::string& type) {
    for (const FilterType& entry : kFilterTypes) {
        if (type == entry.name) {
            return entry.create();
        }
    }
    return nullptr;
}

std::vector<std::string> RegisteredFilterTypes() {
    std::vector<std::string> names;
    for (const FilterType& entry : kFilterTypes) {
        names.emplace_back(entry.name);
    }
    return names;
}

}  // namespace EM
