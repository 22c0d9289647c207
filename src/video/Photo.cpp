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
    const std::filesystem::path path = folder / (MakeTimeStem() + ".jpg");
    if (saved != nullptr) {
        *saved = path;
    }
    return SavePhoto(grabber, path);
}

}  // namespace zavreo
