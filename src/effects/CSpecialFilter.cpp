#include "CSpecialFilter.h"

using namespace zavreo::effects;

namespace {

const CTaggedGridPage::Template kTemplate = {
    {{
        {1070, 1073, "美白柔肤", "images/right/Special/meibai.jpg",
         "images/right/Special/meibai.png"},
        {1071, 1074, "甜美可人", "images/right/Special/tianmei.jpg",
         "images/right/Special/tianmei.jpg"},
        {1072, 1075, "左太阳光", "images/right/Special/zuotaiyang.jpg",
         "images/right/Special/zuotaiyang.jpg"},
        {1046, 1076, "右太阳光", "images/right/Special/youtaiyang.jpg",
         "images/right/Special/youtaiyang.jpg"},
        {1050, 1077, "16:9", "images/right/Special/16_9.jpg", "images/right/Special/16_9.jpg"},
    }},
    {1079, 1093, 1081, 1082, 1083},
    1078,
    "images/right/Special/background_21.png",
};

// The engine kind of presets 1, 2 and 5, which take no parameters.
int PlainKind(int number) {
    switch (number) {
        case 1:
            return zavreo::kEffectWhiter;
        case 2:
            return zavreo::kEffectSweet;
        default:
            return zavreo::kEffectMovie;
    }
}

int OtherSun(int number) {
    return number == kLeftSun ? kRightSun : kLeftSun;
}

}  // namespace

CSpecialFilter::CSpecialFilter(QWidget* parent, const EffectsContext& context)
    : CTaggedGridPage(parent, context, kTemplate) {}

void CSpecialFilter::ApplySun(const SunChange& change) {
    if (change.type) {
        context_.sunParams["type"] = *change.type;
    }
    const int operation = change.call == SunCall::kAdd      ? zavreo::kEffectAdd
                          : change.call == SunCall::kModify ? zavreo::kEffectModify
                                                            : zavreo::kEffectRemove;
    context_.callback.ConfigureEffect(operation, zavreo::kEffectSun, context_.sunParams);
}

void CSpecialFilter::TurnOn(int number) {
    if (number == kLeftSun || number == kRightSun) {
        ApplySun(SunOn(number, Active().Contains(OtherSun(number))));
        return;
    }
    context_.callback.ConfigureEffect(zavreo::kEffectAdd, PlainKind(number), {});
}

void CSpecialFilter::TurnOff(int number) {
    if (number == kLeftSun || number == kRightSun) {
        ApplySun(SunOff(number, Active().Contains(OtherSun(number))));
        return;
    }
    context_.callback.ConfigureEffect(zavreo::kEffectRemove, PlainKind(number), {});
}
