#pragma once
// A frame callback on a shared frame of the benchmark's own, removed again afterwards.

#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "CSampleGrabberCB.h"

struct BenchPipeline {
    explicit BenchPipeline(int cameraWidth, int cameraHeight) {
        callback.SetCameraSize(cameraWidth, cameraHeight);
    }
    ~BenchPipeline() { shm_unlink(name.c_str()); }

    std::string name = "/zavreo-bench-" + std::to_string(getpid());
    zavreo::SharedFrame frame{name};
    EM::EffectManager engine;
    zavreo::CSampleGrabberCB callback{frame, engine};
};
