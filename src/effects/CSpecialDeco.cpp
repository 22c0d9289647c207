#include "CSpecialDeco.h"

#include "DecorationDefinitions.h"

using namespace zavreo::effects;

namespace {

const CTaggedGridPage::Template kTemplate = {
    {{
        {1082, 1087, kDecorationNames[0].display, "images/right/Special/qiushouhu.png",
         "images/right/Special/qiushouhu.png"},
        {1083, 1088, kDecorationNames[1].display, "images/right/Special/liwushuaqi.png",
         "images/right/Special/liwushuaqi.png"},
        {1084, 1089, kDecorationNames[2].display, "images/right/Special/qiuguanzhu.png",
         "images/right/Special/qiuguanzhu.png"},
        {1085, 1090, kDecorationNames[3].display, "images/right/Special/shanguang.png",
         "images/right/Special/shanguang.png"},
        {1086, 1091, kDecorationNames[4].display, "images/right/Special/qiudaiwofei.png",
         "images/right/Special/qiudaiwofei.png"},
    }},
    {1139, 1140, 1141, 1142, 1143},
    1092,
    "images/right/Special/background_21.png",
};

}  // namespace

CSpecialDeco::CSpecialDeco(QWidget* parent, const EffectsContext& context)
    : CTaggedGridPage(parent, context, kTemplate) {}

void CSpecialDeco::TurnOn(int number) {
    context_.callback.ConfigureOverlay(zavreo::kEffectAdd, kDecorationNames[number - 1].instance,
                                       context_.decoParams[number - 1]);
}

void CSpecialDeco::TurnOff(int number) {
    context_.callback.ConfigureOverlay(zavreo::kEffectRemove, kDecorationNames[number - 1].instance,
                                       {});
}
