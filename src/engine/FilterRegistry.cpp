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
    int layer;
};

// The one table of filter types the engine knows. Layers order the chain: the picture's geometry,
// then skin smoothing on its natural colours, the colour looks, the 16:9 bars, and last what is
// laid over the picture, so that a mirror never reverses the subtitle and the bars never hide it.
constexpr FilterType kFilterTypes[] = {
    {"TextFilter", &Make<TextFilter>, 5},
    {"BrightFilter", &Make<BrightFilter>, 2},
    {"ScaleFilter", &Make<ScaleFilter>, 0},
    {"OverlayFilter", &Make<OverlayFilter>, 4},
    {"MirrorFilter", &Make<MirrorFilter>, 0},
    {"WhiterFilter", &Make<WhiterFilter>, 2},
    {"DomainTransformFilter", &Make<DomainTransformFilter>, 1},
    {"SunFilter", &Make<SunFilter>, 2},
    {"MovieFilter", &Make<MovieFilter>, 3},
    {"SweetFilter", &Make<SweetFilter>, 2},
};

const FilterType* Find(const std::string& type) {
    for (const FilterType& entry : kFilterTypes) {
        if (type == entry.name) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<IFilter> CreateFilter(const std::string& type) {
    const FilterType* entry = Find(type);
    return entry ? entry->create() : nullptr;
}

int ChainLayer(const std::string& type) {
    const FilterType* entry = Find(type);
    return entry ? entry->layer : 0;
}

std::vector<std::string> RegisteredFilterTypes() {
    std::vector<std::string> names;
    for (const FilterType& entry : kFilterTypes) {
        names.emplace_back(entry.name);
    }
    return names;
}

}  // namespace EM
