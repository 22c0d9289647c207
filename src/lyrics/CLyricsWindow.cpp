#include "CLyricsWindow.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "LyricsFont.h"
#include "WindowSystem.h"

CLyricsWindow::CLyricsWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zavreo歌词"));
    renderer_.SetFont(zavreo::LyricsFont(m_nFontSize));
    renderer_.SetStyle(style_);
    connect(&compositor_, &CompositorWatch::Changed, this, [this] {
        Reshape();
        update();
    });
}

void CLyricsWindow::Create() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    if (WindowSystem::PlacesTopLevels()) {
        setGeometry(work.left(), work.bottom() + 1 - kHeight, work.width(), kHeight);
    } else {
        setFixedSize(work.width(), kHeight);
    }
    renderer_.SetSize(QSize(width(), height() - LinesTop()));
}

void CLyricsWindow::HoldBar(QWidget& bar) {
    bar_ = &bar;
    bar.setParent(this, Qt::Widget);
    // As opaque as it is as a window of its own, not showing the desktop through this one.
    bar.setAutoFillBackground(true);
    setFixedSize(width(), kHeight + bar.height());
    renderer_.SetSize(QSize(width(), kHeight));
    bar.move((width() - bar.width()) / 2, 0);
    bar.show();
}

int CLyricsWindow::LinesTop() const {
    return bar_ != nullptr ? bar_->height() : 0;
}

void CLyricsWindow::SetLyricText(const std::optional<std::string>& text, int progress) {
    const QString shown = text ? QString::fromStdString(*text) : QString();
    const bool changed = shown != renderer_.Text();
    renderer_.SetText(shown);
    if (changed) {
        Reshape();
    }
    m_nShownProgress = std::clamp(progress, 0, 1000);
    RenderLyrics();
}

void CLyricsWindow::SetFontSize(int size) {
    m_nFontSize = size;
    renderer_.SetFont(zavreo::LyricsFont(size));
    Reshape();
}

void CLyricsWindow::SetColors(const QColor& normalTop, const QColor& normalBottom,
                              const QColor& highTop, const QColor& highBottom, int brushKind) {
    style_.normalTop = normalTop;
    style_.normalBottom = normalBottom;
    style_.highTop = highTop;
    style_.highBottom = highBottom;
    style_.normalBrush = style_.highBrush = brushKind;
    renderer_.SetStyle(style_);
}

void CLyricsWindow::SetOutline(const QColor& colour, double width) {
    style_.outline = colour;
    style_.outlineWidth = width;
    renderer_.SetStyle(style_);
    Reshape();
}

void CLyricsWindow::SetHighlightOutline(const QColor& colour, double width) {
    style_.highOutline = colour;
    style_.highOutlineWidth = width;
    renderer_.SetStyle(style_);
    Reshape();
}

void CLyricsWindow::Reshape() {
    if (compositor_.Composited()) {
        clearMask();
        return;
    }
    // Every pixel the text, its outline or its shadow covers, whatever the progress: the
    // highlight changes colours, not the shape.
    QRegion drawn(QBitmap::fromImage(renderer_.Frame(0).createAlphaMask()));
    drawn.translate(0, LinesTop());
    if (bar_ != nullptr) {
        drawn += bar_->geometry();
    }
    // An empty mask would mean no mask at all, the whole band.
    setMask(drawn.isEmpty() ? QRegion(0, 0, 1, 1) : drawn);
}

void CLyricsWindow::RenderLyrics() {
    update();
}

void CLyricsWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The picture replaces what the window showed, it is not laid over it.
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    // Without a compositor the window's alpha is ignored: the text is drawn at full strength
    // rather than darkened.
    painter.setOpacity(compositor_.Composited() ? kConstantAlpha : 1.0);
    painter.drawImage(0, LinesTop(), renderer_.Frame(m_nShownProgress));
}

void CLyricsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    // A held bar closed with its own button comes back at a click on the lines.
    if (bar_ != nullptr && !bar_->isVisible()) {
        bar_->show();
    }
    if (m_bLocked) {
        // The main window shows the control bar instead.
        emit Moved(event->globalPosition().toPoint());
        return;
    }
    m_bSelfMoving = true;
    drag_.Press(*this, *event);
}

void CLyricsWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bLocked) {
        drag_.Move(*this, *event);
    }
}

void CLyricsWindow::moveEvent(QMoveEvent*) {
    emit Moved(pos());
}

void CLyricsWindow::resizeEvent(QResizeEvent*) {
    renderer_.SetSize(QSize(width(), height() - LinesTop()));
    if (bar_ != nullptr) {
        bar_->move((width() - bar_->width()) / 2, 0);
    }
    Reshape();
}
