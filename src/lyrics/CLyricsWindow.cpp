#include "CLyricsWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "LyricsFont.h"

CLyricsWindow::CLyricsWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Zavreo歌词"));
    renderer_.SetFont(zavreo::LyricsFont(m_nFontSize));
    renderer_.SetStyle(style_);
}

void CLyricsWindow::Create() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    setGeometry(work.left(), work.bottom() + 1 - kHeight, work.width(), kHeight);
    renderer_.SetSize(size());
}

void CLyricsWindow::SetLyricText(const std::optional<std::string>& text, int progress) {
    renderer_.SetText(text ? QString::fromStdString(*text) : QString());
    m_nShownProgress = std::clamp(progress, 0, 1000);
    RenderLyrics();
}

void CLyricsWindow::SetFontSize(int size) {
    m_nFontSize = size;
    renderer_.SetFont(zavreo::LyricsFont(size));
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
}

void CLyricsWindow::SetHighlightOutline(const QColor& colour, double width) {
    style_.highOutline = colour;
    style_.highOutlineWidth = width;
    renderer_.SetStyle(style_);
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
    painter.setOpacity(kConstantAlpha);
    painter.drawImage(0, 0, renderer_.Frame(m_nShownProgress));
}

void CLyricsWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
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

void CLyricsWindow::mouseReleaseEvent(QMouseEvent*) {
    m_bSelfMoving = false;
}

void CLyricsWindow::moveEvent(QMoveEvent*) {
    emit Moved(pos());
}

void CLyricsWindow::resizeEvent(QResizeEvent*) {
    renderer_.SetSize(size());
}
