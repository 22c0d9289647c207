#pragma once
// Where the main window goes back to at a start: the place it had at the last exit, moved as
// little as needed to stand whole inside the screen it is most on, since screens may have changed
// meanwhile (a monitor unplugged, another resolution). A place on no screen any more is not used.
// Needs no window; safe on any thread.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>
#include <vector>

namespace zavreo {

// `screens` are the screens' available areas. None when the window at `saved` would touch none.
std::optional<QPoint> RestoredWindowPlace(QPoint saved, QSize window,
                                          const std::vector<QRect>& screens);

}  // namespace zavreo
