#include "Photo.h"

#include <vector>

#include "CCameraGraph.h"
#include "CSampleGrabberCB.h"
#include "EffectManager.h"
#include "TimeStem.h"

namespace zavreo {

PhotoOutcome SavePhoto(CSampleGrabberCB& grabber, const std::filesystem::path& path) {
    std::vector<uint8_t> frame;
    int width = 0, height = 0;
    if (!grabber.CopyLastFrame(&frame, &width, &height)) {
        return PhotoOutcome::kNoFrame;
    }
    EM::EffectImage image;
    image.pixels = frame.data();
    image.width = width;
    image.height = height;
    image.stride = width * 3;
    EM::Helper::Hflip(&image);
    return EM::Helper::Save(&image, path.string()) ? PhotoOutcome::kSaved
                                                   : PhotoOutcome::kSaveFailed;
}

PhotoOutcome TakePhoto(const CCameraGraph& camera, CSampleGrabberCB& grabber,
                       const std::filesystem::path& folder, std::filesystem::path* saved) {
    if (camera.State() != GraphRunning) {
        return PhotoOutcome::kCameraClosed;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // The name is taken first, so no earlier photo is ever replaced.
    int taken = 0;
    std::filesystem::path path = CreateTimeStemFile(folder, ".jpg", &taken);
    if (path.empty()) {
        path = folder / (MakeTimeStem() + ".jpg");
    }
    if (saved != nullptr) {
        *saved = path;
    }
    if (taken != 0) {
        return PhotoOutcome::kSaveFailed;
    }
    const PhotoOutcome outcome = SavePhoto(grabber, path);
    if (outcome == PhotoOutcome::kSaved) {
        // The encoder's file took the place of the one made for the name, with the default mode.
        std::filesystem::permissions(
            path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
    } else {
        std::filesystem::remove(path, error);
    }
    return outcome;
}

}  // namespace zavreo
