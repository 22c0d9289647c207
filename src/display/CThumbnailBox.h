#pragma once
// The scrolling grid of 85 x 85 thumbnails in the picture panel: paints the pictures of its list,
// selects the one clicked, scrolls by bar or wheel, and loads and saves the list file.
// Interface thread only.

#include <QScrollBar>
#include <QWidget>
#include <filesystem>

#include "ThumbnailGrid.h"
#include "ThumbnailList.h"

class CThumbnailBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 10254;

    explicit CThumbnailBox(QWidget* parent = nullptr);

    zavreo::ThumbnailList& List() { return list_; }
    QScrollBar& ScrollBar() { return scrollBar_; }
    // The layout of the area left of the scroll bar.
    zavreo::ThumbnailGrid Grid() const;

    // The pictures of `file` that still exist; the list is replaced.
    void LoadList(const std::filesystem::path& file);
    bool SaveList(const std::filesystem::path& file) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollRange();

    zavreo::ThumbnailList list_;
    QScrollBar scrollBar_;
    QPixmap background_;
    QPixmap selectMark_;
};
