#pragma once
// Position <-> pixel arithmetic of the bitmap slider, kept apart from the widget so it can be
// checked without a display. All coordinates are along the slider's axis.

struct SliderGeometry {
    int minimum = 0;
    int maximum = 100;
    int length = 0;       // channel width (height when vertical)
    int thumbLength = 0;  // thumb width (height when vertical)
    int marginLow = 0;    // left (top when vertical)
    int marginHigh = 0;   // right (bottom when vertical)

    // Centre of the thumb for a position.
    int PositionToPixel(int position) const;
    // Position for a thumb centre, not clamped into the range.
    int PixelToPosition(int pixel) const;
    // The thumb centre's travel.
    int LowestCentre() const { return marginLow + thumbLength / 2; }
    int HighestCentre() const { return length - marginHigh - thumbLength / 2; }
    int ClampCentre(int centre) const;
    int ClampPosition(int position) const;
};
