#include "CThumbnailBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "PictureListFile.h"

using zavreo::ThumbnailGrid;

namespace {

constexpr int kScrollBarWidth = 12;

}  // namespace

CThumbnailBox::CThumbnailBox(QWidget* parent)
    : QWidget(parent),
      scrollBar_(Qt::Vertical, this),
      background_(QStringLiteral("images/right_background_03.png")),
      selectMark_(QStringLiteral("images/picture&video_select_73.png")) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    scrollBar_.setSingleStep(10);
    scrollBar_.setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { background: rgb(44,44,53); width: 12px; margin: 0; }"
        "QScrollBar::handle:vertical { background: rgb(96,96,107); min-height: 24px;"
        " border-radius: 4px; margin: 2px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    connect(&scrollBar_, &QScrollBar::valueChanged, this, [this] { update(); });
    connect(&list_, &zavreo::ThumbnailList::Changed, this, [this] {
        UpdateScrollRange();
        update();
    });
}

ThumbnailGrid CThumbnailBox::Grid() const {
    return ThumbnailGrid(width() - kScrollBarWidth);
}

void CThumbnailBox::LoadList(const std::filesystem::path& file) {
    list_.RemoveAll();
    for (const std::string& path : zavreo::LoadPictureList(file)) {
        list_.Add(path);
    }
}

bool CThumbnailBox::SaveList(const std::filesystem::path& file) const {
    return zavreo::SavePictureList(file, list_.Paths());
}

void CThumbnailBox::UpdateScrollRange() {
    scrollBar_.setPageStep(height());
    const int maximum = Grid().ScrollMaximum(list_.Count(), height());
    scrollBar_.setRange(0, maximum);
    // The grid keeps the bar's column either way, so pictures stay put when it comes and goes.
    scrollBar_.setVisible(maximum > 0);
}

void CThumbnailBox::resizeEvent(QResizeEvent*) {
    scrollBar_.setGeometry(width() - kScrollBarWidth, 0, kScrollBarWidth, height());
    UpdateScrollRange();
}

void CThumbnailBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area(0, 0, width() - kScrollBarWidth, height());
    painter.fillRect(rect(), QColor(44, 44, 53));
    painter.drawPixmap(area, background_);
    const ThumbnailGrid grid = Grid();
    const int scroll = scrollBar_.value();
    const QColor pending(70, 70, 84);
    for (int i = 0; i < list_.Count(); ++i) {
        const QRect cell(grid.CellX(i), grid.CellY(i, scroll), ThumbnailGrid::kCell,
                         ThumbnailGrid::kCell);
        if (!cell.intersects(area)) {
            continue;
        }
        const QImage& thumbnail = list_.Thumbnail(i);
        if (thumbnail.isNull()) {
            painter.fillRect(cell, pending);  // still being decoded
        } else {
            painter.drawImage(cell.topLeft(), thumbnail);
        }
        if (list_.Selection() == i + 1) {
            painter.drawPixmap(cell, selectMark_);
        }
    }
}

void CThumbnailBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint at = event->position().toPoint();
    list_.SetSelection(Grid().HitTest(at.x(), at.y(), scrollBar_.value()));
}

void CThumbnailBox::wheelEvent(QWheelEvent* event) {
    scrollBar_.setValue(scrollBar_.value() - event->angleDelta().y() / 4);
    event->accept();
}
