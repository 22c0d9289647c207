#include "Canvas.h"

#include <QFont>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Canvas {

namespace {

QString g_iconFamily;

QFont CjkFont(int pixelSize, bool bold) {
    QFont font(CjkFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont IconFont(int pixelSize) {
    QFont font(IconFamily());
    font.setPixelSize(pixelSize);
    return font;
}

void Prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
}

// Icon and label laid out side by side (or the icon alone, centred).
void DrawContent(QPainter& painter, QRect area, QChar glyph, const QString& label,
                 const QColor& colour, int labelSize = 0) {
    const int iconSize = label.isEmpty() ? std::min(area.width(), area.height()) * 11 / 20
                                         : std::min(area.height() * 9 / 20, 22);
    // Low buttons (the tip's OK, 26 px) still need a label that reads at a glance.
    const int textSize = std::max(9, std::min(area.height() * 11 / 20, 15));
    painter.setPen(colour);
    if (label.isEmpty()) {
        if (!glyph.isNull()) {
            painter.setFont(IconFont(std::max(iconSize, 6)));
            painter.drawText(area, Qt::AlignCenter, QString(glyph));
        }
        return;
    }
    QFont text = CjkFont(labelSize > 0 ? labelSize : textSize, true);
    // Narrow buttons get a smaller label rather than a clipped one; a row of buttons asks for
    // one size instead, so that its labels match.
    while (labelSize == 0 && text.pixelSize() > 8 &&
           QFontMetrics(text).horizontalAdvance(label) > area.width()) {
        text.setPixelSize(text.pixelSize() - 1);
    }
    int textWidth = QFontMetrics(text).horizontalAdvance(label);
    if (!glyph.isNull() && labelSize == 0) {
        // Icon and label side by side want a margin at both ends; a slightly smaller label with
        // room around it reads better than one pressed against the border.
        const int margin = 12;
        QFont smaller = text;
        auto width = [&] { return QFontMetrics(smaller).horizontalAdvance(label); };
        while (smaller.pixelSize() > 11 && width() + iconSize + 6 + margin > area.width()) {
            smaller.setPixelSize(smaller.pixelSize() - 1);
        }
        if (width() + iconSize + 6 + margin <= area.width()) {
            text = smaller;
            textWidth = width();
        }
    }
    if (glyph.isNull() || area.width() < textWidth + iconSize + 8) {
        if (!glyph.isNull() && area.height() >= 40) {
            // Tall buttons: icon above the label.
            painter.setFont(IconFont(area.height() * 2 / 5));
            painter.drawText(
                QRect(area.left(), area.top() + 2, area.width(), area.height() * 3 / 5),
                Qt::AlignCenter, QString(glyph));
            painter.setFont(text);
            painter.drawText(QRect(area.left(), area.top() + area.height() * 3 / 5, area.width(),
                                   area.height() * 2 / 5 - 2),
                             Qt::AlignCenter, label);
            return;
        }
        painter.setFont(text);
        painter.drawText(area, Qt::AlignCenter, label);
        return;
    }
    const int total = iconSize + 6 + textWidth;
    const int left = area.left() + (area.width() - total) / 2;
    painter.setFont(IconFont(iconSize));
    painter.drawText(QRect(left, area.top(), iconSize, area.height()), Qt::AlignCenter,
                     QString(glyph));
    painter.setFont(text);
    painter.drawText(QRect(left + iconSize + 6, area.top(), textWidth + 2, area.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, label);
}

}  // namespace

void Init() {
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/font-awesome/fontawesome-webfont.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    g_iconFamily = families.isEmpty() ? QStringLiteral("FontAwesome") : families.first();
}

QString CjkFamily() {
    return QStringLiteral("Noto Sans CJK SC");
}
QString IconFamily() {
    return g_iconFamily;
}

QImage Blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage Button(int width, int height, State state, QChar glyph, const QString& label, bool round,
              int labelSize) {
    QImage image = Blank(width, height);
    QPainter painter(&image);
    Prepare(painter);
    QColor face = kBackground.lighter(118);
    QColor border = kHighlight;
    QColor ink = kText;
    switch (state) {
        case State::Normal:
            break;
        case State::Over:
            face = kHighlight;
            border = kHighlight.lighter(140);
            ink = Qt::white;
            break;
        case State::Press:
        case State::Selected:
            face = kPressed;
            border = kAccent;
            ink = kAccent.lighter(120);
            break;
    }
    const QRectF body = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(border, 1));
    painter.setBrush(face);
    if (round) {
        painter.drawEllipse(body);
    } else {
        const double radius = std::min(4.0, std::min(width, height) / 4.0);
        painter.drawRoundedRect(body, radius, radius);
    }
    const int pad = state == State::Press ? 1 : 0;
    DrawContent(painter, image.rect().adjusted(2 + pad, 1 + pad, -2 + pad, -1 + pad), glyph, label,
                ink, labelSize);
    return image;
}

QImage Tab(int width, int height, State state, const QString& label, QChar glyph) {
    const QColor face = state == State::Normal ? kPanel
                        : state == State::Over ? kHighlight
                                               : kBackground.lighter(125);
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(face);
    QPainter painter(&image);
    Prepare(painter);
    painter.setPen(QColor(24, 24, 30));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    if (state == State::Selected || state == State::Press) {
        painter.fillRect(QRect(0, height - 3, width, 3), kAccent);
    }
    const QColor ink = state == State::Normal ? kDimText : Qt::white;
    DrawContent(painter, image.rect().adjusted(4, 2, -4, -3), glyph, label, ink);
    return image;
}

QImage Icon(int width, int height, QChar glyph, const QColor& colour) {
    QImage image = Blank(width, height);
    QPainter painter(&image);
    Prepare(painter);
    painter.setPen(colour);
    painter.setFont(IconFont(std::max(6, std::min(width, height) - 2)));
    painter.drawText(image.rect(), Qt::AlignCenter, QString(glyph));
    return image;
}

QImage Panel(int width, int height, const QString& title, bool rounded) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Prepare(painter);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, kBackground.lighter(112));
    gradient.setColorAt(1, kBackground);
    painter.setPen(QPen(kHighlight, 1));
    painter.setBrush(gradient);
    const QRectF body = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (rounded) {
        painter.drawRoundedRect(body, 6, 6);
    } else {
        painter.drawRect(body);
    }
    if (!title.isEmpty()) {
        painter.setPen(kText);
        painter.setFont(CjkFont(std::min(16, std::max(11, height / 12)), true));
        painter.drawText(QRect(12, 6, width - 24, 24), Qt::AlignLeft | Qt::AlignVCenter, title);
        painter.setPen(kHighlight);
        painter.drawLine(8, 32, width - 8, 32);
    }
    return image;
}

QImage Tile(int width, int height, const QColor& top, const QColor& bottom, const QString& label,
            QChar glyph) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    Prepare(painter);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillRect(image.rect(), gradient);
    if (!glyph.isNull()) {
        painter.setPen(QColor(255, 255, 255, 200));
        painter.setFont(IconFont(height * 2 / 5));
        painter.drawText(QRect(0, 4, width, height * 3 / 5), Qt::AlignCenter, QString(glyph));
    }
    if (!label.isEmpty()) {
        painter.fillRect(QRect(0, height - 22, width, 22), QColor(0, 0, 0, 120));
        painter.setPen(Qt::white);
        painter.setFont(CjkFont(13, true));
        painter.drawText(QRect(0, height - 22, width, 22), Qt::AlignCenter, label);
    }
    return image;
}

QImage Label(int width, int height, const QString& text, const QColor& colour, int pixelSize,
             bool bold) {
    QImage image = Blank(width, height);
    QPainter painter(&image);
    Prepare(painter);
    painter.setPen(colour);
    painter.setFont(CjkFont(pixelSize, bold));
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

}  // namespace Canvas
