#pragma once
// The picture of the desktop lyrics: the text centred in outlined path letters with a shadow,
// filled with the normal brush, and the highlight brush over its left part as far as the progress
// goes. The two coloured layers are drawn once per text (or style) change; a frame only copies the
// normal layer and lays the highlight layer over it up to the progress, in kept buffers, so the
// ten frames a second allocate nothing. No window needed; interface thread.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

namespace zavreo {

// Colours as alpha, red, green, blue. Brush kind 1: a gradient from the top colour at the top of
// the text box to the bottom colour at its bottom; 2: top to bottom colour over the upper half,
// mirrored below; other: the top colour alone.
struct LyricsStyle {
    QColor normalTop{255, 0, 0, 255};
    QColor normalBottom{255, 172, 0, 255};
    int normalBrush = 2;
    QColor outline{0, 0, 0, 255};
    double outlineWidth = 1.0;  // not above 0, or a colour with alpha 0: no outline
    QColor highTop{255, 100, 26, 255};
    QColor highBottom{255, 255, 0, 255};
    int highBrush = 2;
    QColor highOutline{0, 0, 0, 255};
    double highOutlineWidth = 1.0;
    QColor shadow{0, 0, 0, 150};
    int shadowOffset = 2;  // 0: no shadow
};

class LyricsRenderer {
public:
    void SetSize(QSize size);
    void SetFont(const QFont& font);
    void SetStyle(const LyricsStyle& style);
    const LyricsStyle& Style() const { return style_; }
    // Lines are separated by "\r\n"; an empty text draws nothing.
    void SetText(const QString& text);
    const QString& Text() const { return text_; }

    // The frame at `progress` (0..1000), premultiplied ARGB, without the window's constant alpha.
    const QImage& Frame(int progress);
    // Where the text lies, as last laid out.
    QRectF TextBox() const { return box_; }
    // The height `lines` lines take in the font and style set, outline and shadow included.
    int HeightOfLines(int lines) const;

private:
    void DrawLayers();

    QSize size_;
    QFont font_;
    LyricsStyle style_;
    QString text_;
    bool stale_ = true;
    QRectF box_;
    QImage normal_;
    QImage high_;
    QImage frame_;
};

}  // namespace zavreo
