#pragma once
// The desktop lyrics: a frameless, top-most, translucent tool window across the bottom of the
// work area showing the current line (or two) with its karaoke highlight, drawn by
// LyricsRenderer at a constant alpha of 100/255 over the text's own alpha. Where no compositor
// runs, translucency cannot show the desktop: the window is then shaped to the drawn text and
// drawn opaque. Dragged with the mouse unless locked; the control bar follows it. Where the
// windowing system does not let the program place its windows (Wayland), the bar is held inside,
// above the lines, so that the two cannot drift apart. Interface thread only.

#include <QPoint>
#include <QWidget>
#include <optional>
#include <string>

#include "BodyDrag.h"
#include "CompositorWatch.h"
#include "LyricsRenderer.h"

class CLyricsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 120;
    static constexpr int kDefaultFontSize = 50;
    static constexpr double kConstantAlpha = 100.0 / 255.0;

    CLyricsWindow();

    // Places the window at the bottom of the work area, as wide as it (still hidden). Where
    // windows cannot be placed, only sizes it, fixed, so that a tiling compositor floats it.
    void Create();
    // Takes `bar` in as a child centred along the top and grows by its height; the lines are
    // drawn below it.
    void HoldBar(QWidget& bar);
    bool HoldsBar() const { return bar_ != nullptr; }

    // None clears the text; progress is clamped to 0..1000. Redraws.
    void SetLyricText(const std::optional<std::string>& text, int progress);
    void SetFontSize(int size);
    int FontSize() const { return m_nFontSize; }
    // The colours a scheme sets, then the pens: a colour with alpha 0 or a width not above 0
    // leaves no outline.
    void SetColors(const QColor& normalTop, const QColor& normalBottom, const QColor& highTop,
                   const QColor& highBottom, int brushKind);
    void SetOutline(const QColor& colour, double width);
    void SetHighlightOutline(const QColor& colour, double width);
    void RenderLyrics();

    const zavreo::LyricsRenderer& Renderer() const { return renderer_; }
    // Whether the window is drawn translucent (a compositor runs) or shaped to the text.
    bool Translucent() const { return compositor_.Composited(); }

    // Set by a press on the window, cleared by a press on the bar: the one pressed last leads.
    // A release does not clear it, as the move the window manager carries out for a drag goes
    // on after the release Qt reports when handing the move over.
    bool m_bSelfMoving = true;
    bool m_bLocked = false;

signals:
    // The window moved to a point, or was clicked while locked (WM_LYRICWND_MOVED).
    void Moved(QPoint point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The window's shape: the whole window with a compositor, the drawn text (and a held bar)
    // without one.
    void Reshape();
    // Where the lines are drawn: below a held bar.
    int LinesTop() const;

    zavreo::LyricsRenderer renderer_;
    CompositorWatch compositor_;
    zavreo::LyricsStyle style_;
    BodyDrag drag_;
    QWidget* bar_ = nullptr;
    int m_nFontSize = kDefaultFontSize;
    int m_nShownProgress = 0;
};
