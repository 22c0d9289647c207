#pragma once
// The decoration page: five animated pictures, each its own overlay instance named after it,
// added with the definitions the main window built. Settings group "Deco".

#include "CTaggedGridPage.h"

class CSpecialDeco : public CTaggedGridPage {
    Q_OBJECT
public:
    CSpecialDeco(QWidget* parent, const zavreo::effects::EffectsContext& context);

private:
    void TurnOn(int number) override;
    void TurnOff(int number) override;
};
