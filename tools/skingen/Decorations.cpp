// The animated decorations: transparent 640 x 480 frames laid over the video by the engine.

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

#include "Canvas.h"
#include "Recipes.h"
#include "ResourcePaths.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr double kPi = std::numbers::pi;

QFont Cjk(int pixelSize) {
    QFont font(Canvas::CjkFamily());
    font.setPixelSize(pixelSize);
    font.setBold(true);
    return font;
}

void Heart(QPainter& p, QPointF centre, double size, const QColor& colour) {
    QPainterPath path;
    path.moveTo(centre.x(), centre.y() + size * 0.35);
    path.cubicTo(centre.x() - size * 0.9, centre.y() - size * 0.3, centre.x() - size * 0.35,
                 centre.y() - size * 0.85, centre.x(), centre.y() - size * 0.35);
    path.cubicTo(centre.x() + size * 0.35, centre.y() - size * 0.85, centre.x() + size * 0.9,
                 centre.y() - size * 0.3, centre.x(), centre.y() + size * 0.35);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

void Star(QPainter& p, QPointF centre, double outer, double angle, const QColor& colour) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? outer * 0.42 : outer;
        const double a = angle + i * kPi / 5;
        const QPointF point(centre.x() + r * std::sin(a), centre.y() - r * std::cos(a));
        i == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

// A rounded caption with an outline, the banner every decoration carries.
void Banner(QPainter& p, QRectF box, const QString& text, const QColor& fill, double scale = 1) {
    p.save();
    p.translate(box.center());
    p.scale(scale, scale);
    p.translate(-box.center());
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(fill);
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    QPainterPath textPath;
    const QFont font = Cjk(int(box.height() * 0.55));
    const QFontMetricsF metrics(font);
    textPath.addText(box.center().x() - metrics.horizontalAdvance(text) / 2,
                     box.center().y() + metrics.ascent() / 2 - metrics.descent() / 2, font, text);
    p.setPen(QPen(QColor(80, 20, 40), 4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(textPath);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(textPath);
    p.restore();
}

// 求守护: a pulsing shield with a heart and orbiting stars.
void Guard(QPainter& p, double t) {
    const QPointF c(540, 330);
    const double pulse = 1 + 0.12 * std::sin(t * 2 * kPi);
    QPainterPath shield;
    shield.moveTo(c.x(), c.y() - 60 * pulse);
    shield.cubicTo(c.x() + 45 * pulse, c.y() - 45 * pulse, c.x() + 55 * pulse, c.y() - 50 * pulse,
                   c.x() + 55 * pulse, c.y() - 20 * pulse);
    shield.cubicTo(c.x() + 50 * pulse, c.y() + 30 * pulse, c.x() + 20 * pulse, c.y() + 50 * pulse,
                   c.x(), c.y() + 65 * pulse);
    shield.cubicTo(c.x() - 20 * pulse, c.y() + 50 * pulse, c.x() - 50 * pulse, c.y() + 30 * pulse,
                   c.x() - 55 * pulse, c.y() - 20 * pulse);
    shield.cubicTo(c.x() - 55 * pulse, c.y() - 50 * pulse, c.x() - 45 * pulse, c.y() - 45 * pulse,
                   c.x(), c.y() - 60 * pulse);
    QRadialGradient glow(c, 70 * pulse);
    glow.setColorAt(0, QColor(120, 170, 255, 240));
    glow.setColorAt(1, QColor(40, 70, 200, 230));
    p.setPen(QPen(QColor(255, 230, 120), 4));
    p.setBrush(glow);
    p.drawPath(shield);
    Heart(p, c, 40 * pulse, QColor(255, 80, 120));
    for (int i = 0; i < 5; ++i) {
        const double a = t * 2 * kPi + i * 2 * kPi / 5;
        Star(p, QPointF(c.x() + 85 * std::cos(a), c.y() + 85 * std::sin(a)), 10, a,
             QColor(255, 230, 120, 230));
    }
    Banner(p, QRectF(460, 410, 160, 44), QStringLiteral("求守护"), QColor(70, 110, 230), pulse);
}

// 礼物刷起: gift boxes falling along the bottom band.
void Gifts(QPainter& p, double t) {
    const QColor colours[] = {QColor(255, 90, 110), QColor(255, 190, 60), QColor(120, 200, 255),
                              QColor(170, 120, 255), QColor(110, 220, 150)};
    for (int i = 0; i < 8; ++i) {
        const double phase = std::fmod(t + i * 0.37, 1.0);
        const double x = 30 + i * 78 + 12 * std::sin((t + i) * 2 * kPi);
        const double y = -40 + phase * 360;
        const double size = 26 + (i % 3) * 6;
        p.save();
        p.translate(x, y);
        p.rotate(std::sin((phase + i) * 2 * kPi) * 20);
        const QColor colour = colours[i % 5];
        p.setPen(QPen(colour.darker(150), 2));
        p.setBrush(colour);
        p.drawRect(QRectF(-size / 2, -size / 2, size, size));
        p.fillRect(QRectF(-3, -size / 2, 6, size), QColor(255, 255, 255, 220));
        p.fillRect(QRectF(-size / 2, -3, size, 6), QColor(255, 255, 255, 220));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(Qt::white, 3));
        p.drawEllipse(QRectF(-10, -size / 2 - 10, 10, 10));
        p.drawEllipse(QRectF(0, -size / 2 - 10, 10, 10));
        p.restore();
    }
    Banner(p, QRectF(200, 400, 240, 54), QStringLiteral("礼物刷起"), QColor(230, 80, 60),
           1 + 0.08 * std::sin(t * 4 * kPi));
}

// 求关注: a bouncing "+关注" button with rising hearts.
void Follow(QPainter& p, double t) {
    const double bounce = std::abs(std::sin(t * 2 * kPi)) * 24;
    for (int i = 0; i < 6; ++i) {
        const double phase = std::fmod(t + i / 6.0, 1.0);
        const QColor colour(255, 90 + i * 20, 140, int(255 * (1 - phase)));
        Heart(p, QPointF(470 + i * 25 + 10 * std::sin((phase + i) * 2 * kPi), 420 - phase * 260),
              18 + i % 3 * 6, colour);
    }
    Banner(p, QRectF(440, 400 - bounce, 180, 50), QStringLiteral("+求关注"), QColor(240, 70, 120));
}

// 闪光: stars twinkling around the edges of the picture.
void Sparkle(QPainter& p, double t) {
    for (int i = 0; i < 24; ++i) {
        const double along = i / 24.0;
        QPointF at;
        if (along < 0.25) {
            at = QPointF(along * 4 * kWidth, 24);
        } else if (along < 0.5) {
            at = QPointF(kWidth - 24, (along - 0.25) * 4 * kHeight);
        } else if (along < 0.75) {
            at = QPointF((0.75 - along) * 4 * kWidth, kHeight - 24);
        } else {
            at = QPointF(24, (1 - along) * 4 * kHeight);
        }
        const double level = 0.5 + 0.5 * std::sin((t * 3 + i * 0.29) * 2 * kPi);
        QRadialGradient glow(at, 30 * level + 4);
        glow.setColorAt(0, QColor(255, 255, 220, int(200 * level)));
        glow.setColorAt(1, QColor(255, 255, 200, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(at, 30 * level + 4, 30 * level + 4);
        Star(p, at, 6 + 12 * level, t * kPi + i, QColor(255, 240, 150, int(80 + 175 * level)));
    }
}

// 求带我飞: a rocket crossing the top with a trail and a swaying banner.
void Fly(QPainter& p, double t) {
    const double x = -80 + t * (kWidth + 160);
    const double y = 110 - 40 * std::sin(t * kPi);
    for (int i = 1; i <= 6; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 180 - i * 15, 60, 200 - i * 28));
        p.drawEllipse(QPointF(x - 30 - i * 16, y + 4 * std::sin(i + t * 10)), 12 - i, 12 - i);
    }
    QFont icon(Canvas::IconFamily());
    icon.setPixelSize(64);
    p.setFont(icon);
    p.setPen(QColor(255, 255, 255));
    p.save();
    p.translate(x, y);
    p.rotate(45);
    p.drawText(QRectF(-40, -40, 80, 80), Qt::AlignCenter, QString(QChar(char16_t(0xF135))));
    p.restore();
    Banner(p, QRectF(400, 404, 220, 50), QStringLiteral("求带我飞"), QColor(60, 150, 230),
           1 + 0.1 * std::sin(t * 2 * kPi));
}

using Scene = void (*)(QPainter&, double);

}  // namespace

std::vector<Recipe> DecorationRecipes() {
    const Scene scenes[] = {Guard, Gifts, Follow, Sparkle, Fly};
    std::vector<Recipe> recipes;
    const auto& decorations = Resources::Decorations();
    for (size_t d = 0; d < decorations.size(); ++d) {
        const Scene scene = scenes[d];
        const int frames = decorations[d].frames;
        for (int i = 0; i < frames; ++i) {
            recipes.push_back({Resources::DecorationFrame(decorations[d], i), [=] {
                                   QImage image = Canvas::Blank(kWidth, kHeight);
                                   QPainter painter(&image);
                                   painter.setRenderHint(QPainter::Antialiasing);
                                   scene(painter, double(i) / frames);
                                   return image;
                               }});
        }
    }
    return recipes;
}
