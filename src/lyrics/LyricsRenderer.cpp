#include "LyricsRenderer.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zavreo {

namespace {

QBrush TextBrush(int kind, const QColor& top, const QColor& bottom, const QRectF& box) {
    if (kind != 1 && kind != 2) {
        return QBrush(top);
    }
    const qreal end = kind == 1 ? box.bottom() : box.top() + box.height() / 2;
    QLinearGradient gradient(0, box.top(), 0, end);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    gradient.setSpread(QGradient::ReflectSpread);
    return QBrush(gradient);
}

void DrawText(QPainter& painter, const QPainterPath& path, const QColor& outline, double width,
              const QBrush& fill) {
    if (outline.alpha() != 0 && width > 0) {
        painter.strokePath(path, QPen(outline, width));
    }
    painter.fillPath(path, fill);
}

// dst = src + dst * (1 - src alpha), premultiplied, over one row span.
void BlendOver(uint32_t* dst, const uint32_t* src, int count) {
    for (int i = 0; i < count; ++i) {
        const uint32_t s = src[i];
        const uint32_t keep = 255 - (s >> 24);
        if (keep == 0) {
            dst[i] = s;
        } else if (keep != 255) {
            const uint32_t d = dst[i];
            uint32_t rb = (d & 0x00FF00FFu) * keep + 0x00800080u;
            rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
            uint32_t ag = ((d >> 8) & 0x00FF00FFu) * keep + 0x00800080u;
            ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
            dst[i] = s + (rb | ag);
        }
    }
}

}  // namespace

void LyricsRenderer::SetSize(QSize size) {
    if (size != size_) {
        size_ = size;
        stale_ = true;
    }
}

void LyricsRenderer::SetFont(const QFont& font) {
    font_ = font;
    stale_ = true;
}

void LyricsRenderer::SetStyle(const LyricsStyle& style) {
    style_ = style;
    stale_ = true;
}

void LyricsRenderer::SetText(const QString& text) {
    if (text != text_) {
        text_ = text;
        stale_ = true;
    }
}

int LyricsRenderer::HeightOfLines(int lines) const {
    const QFontMetricsF metrics(font_);
    const qreal text = metrics.height() + (lines - 1) * metrics.lineSpacing();
    // The outline reaches half its width past the letters on both sides; the shadow lies below.
    const qreal outline = std::max({style_.outlineWidth, style_.highOutlineWidth, 0.0});
    return static_cast<int>(std::ceil(text + outline + std::abs(style_.shadowOffset)));
}

void LyricsRenderer::DrawLayers() {
    stale_ = false;
    if (normal_.size() != size_) {
        normal_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
        high_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
        frame_ = QImage(size_, QImage::Format_ARGB32_Premultiplied);
    }
    normal_.fill(Qt::transparent);
    high_.fill(Qt::transparent);
    box_ = QRectF();
    if (text_.isEmpty() || size_.isEmpty()) {
        return;
    }
    const QStringList lines = text_.split(QStringLiteral("\r\n"));
    const QFontMetricsF metrics(font_);
    qreal textWidth = 0;
    for (const QString& line : lines) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    }
    const qreal textHeight = metrics.height() + (lines.size() - 1) * metrics.lineSpacing();
    box_ = QRectF(std::max((size_.width() - textWidth) / 2, 0.0), (size_.height() - textHeight) / 2,
                  std::min<qreal>(textWidth, size_.width()), textHeight);
    QPainterPath path;
    for (int i = 0; i < lines.size(); ++i) {
        path.addText(box_.left(), box_.top() + metrics.ascent() + i * metrics.lineSpacing(), font_,
                     lines[i]);
    }

    QPainter normal(&normal_);
    normal.setRenderHint(QPainter::Antialiasing);
    normal.setRenderHint(QPainter::TextAntialiasing);
    if (style_.shadowOffset != 0 && style_.shadow.alpha() != 0) {
        normal.fillPath(path.translated(style_.shadowOffset, style_.shadowOffset), style_.shadow);
    }
    DrawText(normal, path, style_.outline, style_.outlineWidth,
             TextBrush(style_.normalBrush, style_.normalTop, style_.normalBottom, box_));
    QPainter high(&high_);
    high.setRenderHint(QPainter::Antialiasing);
    high.setRenderHint(QPainter::TextAntialiasing);
    DrawText(high, path, style_.highOutline, style_.highOutlineWidth,
             TextBrush(style_.highBrush, style_.highTop, style_.highBottom, box_));
}

const QImage& LyricsRenderer::Frame(int progress) {
    if (stale_) {
        DrawLayers();
    }
    if (frame_.isNull()) {
        return frame_;
    }
    progress = std::clamp(progress, 0, 1000);
    const int width = frame_.width();
    const int height = frame_.height();
    std::memcpy(frame_.bits(), normal_.constBits(), static_cast<std::size_t>(frame_.sizeInBytes()));
    if (progress == 0 || box_.isEmpty()) {
        return frame_;
    }
    // Full progress is not clipped at all (outline and shadow past the box included).
    int left = 0, right = width, top = 0, bottom = height;
    if (progress < 1000) {
        left = std::clamp(static_cast<int>(box_.left()), 0, width);
        right =
            std::clamp(static_cast<int>(box_.left() + box_.width() * progress / 1000), 0, width);
        top = std::clamp(static_cast<int>(box_.top()), 0, height);
        bottom = std::clamp(static_cast<int>(std::ceil(box_.bottom())), 0, height);
    }
    for (int y = top; y < bottom; ++y) {
        BlendOver(reinterpret_cast<uint32_t*>(frame_.scanLine(y)) + left,
                  reinterpret_cast<const uint32_t*>(high_.constScanLine(y)) + left, right - left);
    }
    return frame_;
}

}  // namespace zavreo
