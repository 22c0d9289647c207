#pragma once
// A camera controller as the main window has one, on a shared frame of the test's own, run from
// the program's folder (where test.png is) with a runtime folder of its own for the virtual camera.

#include <unistd.h>

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "CSampleGrabberCB.h"
#include "CameraController.h"
#include "TestFrames.h"

struct ProgramFolder {
    ProgramFolder() { EXPECT_EQ(chdir(ZAVREO_BIN_DIR), 0); }
};

struct ControllerRig {
    ProgramFolder programFolder;
    QTemporaryDir runtimeDir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", runtimeDir.path().toUtf8().constData()};
    ScopedFrameName name;
    zavreo::SharedFrame frame{name.Name()};
    EM::EffectManager engine;
    zavreo::CSampleGrabberCB callback{frame, engine};
    zavreo::CameraController controller{callback, std::string(ZAVREO_BIN_DIR) + "/zavreo-vcam"};

    std::vector<uint8_t> Published() const {
        std::vector<uint8_t> copy(zavreo::kFrameBytes);
        EXPECT_TRUE(zavreo::SharedFrameReader(name.Name()).CopyFrame(copy.data()));
        return copy;
    }
};
