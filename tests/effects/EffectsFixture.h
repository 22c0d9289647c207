#pragma once
// Pages driven against a real engine through a frame callback of the test's own, in the program's
// folder (where the artwork is), with the main window's parameter maps.

#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CSampleGrabberCB.h"
#include "DecorationDefinitions.h"
#include "EffectsContext.h"
#include "controls/ControlFixture.h"

class EffectsFixture : public ControlFixture {
protected:
    // The pages below load their pictures when they are made, before SetUp runs.
    struct InProgramFolder {
        InProgramFolder() { QDir::setCurrent(QStringLiteral(ZAVREO_BIN_DIR)); }
    };

    ~EffectsFixture() override { shm_unlink(frameName_.c_str()); }

    // Instance names in the order they were added.
    std::vector<std::string> Instances() const {
        std::vector<std::string> names;
        for (const auto& info : engine_.List()) {
            names.push_back(info.name);
        }
        return names;
    }
    // The parameters and type of an instance, empty when there is none.
    zavreo::effects::ParamMap Params(const std::string& name) const { return Find(name).params; }
    std::string TypeOf(const std::string& name) const { return Find(name).type; }

    EM::FilterInfo Find(const std::string& name) const {
        for (auto& info : engine_.List()) {
            if (info.name == name) {
                return info;
            }
        }
        return {};
    }

    InProgramFolder folder_;
    std::string frameName_ = "/zavreo-effects-test-" + std::to_string(getpid());
    zavreo::SharedFrame frame_{frameName_};
    EM::EffectManager engine_;
    zavreo::CSampleGrabberCB callback_{frame_, engine_};
    zavreo::effects::ParamMap text_, scale_, brightness_, level_, sun_;
    std::array<zavreo::effects::ParamMap, 5> deco_ = zavreo::effects::BuildDecorationDefinitions();
    zavreo::effects::EffectsContext context_{callback_, text_, scale_, brightness_,
                                             level_,    sun_,  deco_};
};
