#include "Slideshow.h"

#include <vector>

#include "PictureFile.h"
#include "SharedFrame.h"

namespace zavreo {

void Slideshow::Start(int selection, int count) {
    index_ = selection >= 1 && selection <= count ? selection - 1 : 0;
}

Slideshow::Step Slideshow::ShowNext(const std::vector<std::string>& paths, SharedFrame& output) {
    if (index_ >= static_cast<int>(paths.size()) || index_ < 0) {
        index_ = 0;
    }
    if (paths.empty()) {
        return Step::kEmpty;
    }
    std::vector<uint8_t> frame(kFrameBytes);
    const bool shown = RenderSlide(paths[index_], frame.data());
    if (shown) {
        output.Write(frame.data());
    }
    ++index_;
    return shown ? Step::kShown : Step::kSkipped;
}

Slideshow::Step Slideshow::ShowAgain(const std::vector<std::string>& paths, SharedFrame& output) {
    if (index_ > 0) {
        --index_;
    }
    return ShowNext(paths, output);
}

}  // namespace zavreo
