#pragma once
// The filter page: five whole-picture looks, any number on at once. The two sun presets share one
// engine instance whose "type" says which lights show. Settings group "Filter".

#include "CTaggedGridPage.h"

class CSpecialFilter : public CTaggedGridPage {
    Q_OBJECT
public:
    CSpecialFilter(QWidget* parent, const zavreo::effects::EffectsContext& context);

private:
    void TurnOn(int number) override;
    void TurnOff(int number) override;
    void ApplySun(const zavreo::effects::SunChange& change);
};
