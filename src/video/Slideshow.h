#pragma once
// The still-picture source: which picture comes next and how it reaches the shared frame. Still
// pictures go straight into the shared frame, without the pipeline mutex or the effect chain.
// Interface thread only.

#include <string>
#include <vector>

namespace zavreo {

class SharedFrame;

class Slideshow {
public:
    enum class Step {
        kShown,    // the picture is in the shared frame
        kSkipped,  // the file vanished or cannot be decoded; the next tick tries the next one
        kEmpty,    // nothing to show: the show must stop
    };

    // Begins at the selected picture (1-based `selection` within `count`), else at the first.
    void Start(int selection, int count);
    // Shows the picture at the current index, wrapping to the first after the last, and moves on.
    Step ShowNext(const std::vector<std::string>& paths, SharedFrame& output);
    // Shows the last picture tried again, after something else wrote the shared frame.
    Step ShowAgain(const std::vector<std::string>& paths, SharedFrame& output);

    int Index() const { return index_; }

private:
    int index_ = 0;
};

}  // namespace zavreo
