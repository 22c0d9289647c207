#include "SliderGeometry.h"

#include <algorithm>

// A range without extent has no defined pixel; such a slider keeps its thumb at the low end
// instead of dividing by zero.

int SliderGeometry::PositionToPixel(int position) const {
    const int travel = length - marginHigh - thumbLength - marginLow;
    int offset = 0;
    if (maximum != minimum) {
        offset = int(double(travel) * (position - minimum) / double(maximum - minimum));
    }
    return marginLow + offset + thumbLength / 2;
}

int SliderGeometry::PixelToPosition(int pixel) const {
    const int travel = length - marginHigh - marginLow - thumbLength;
    if (travel == 0) {
        return minimum;
    }
    return int(minimum +
               double(pixel - thumbLength / 2 - marginLow) / double(travel) * (maximum - minimum));
}

int SliderGeometry::ClampCentre(int centre) const {
    return std::max(LowestCentre(), std::min(centre, HighestCentre()));
}

int SliderGeometry::ClampPosition(int position) const {
    return std::max(minimum, std::min(position, maximum));
}
