#pragma once
// The skinned report list (lyric search results) and its gradient header. Rows and cells may
// carry their own colours; a selected row is black with the first cell's song icon.
// User-interface thread only.

#include <QHeaderView>
#include <QPixmap>
#include <QTableWidget>
#include <map>
#include <utility>

class CHeaderCtrlCl : public QHeaderView {
    Q_OBJECT
public:
    explicit CHeaderCtrlCl(QWidget* parent = nullptr);

    // One character per column: '0' left, '1' centre, '2' right.
    void SetAlignment(const QString& format) { format_ = format; }
    Qt::Alignment ColumnAlignment(int column) const;
    // Colour of a line of the gradient, from the top: the start colour less 8 per line.
    static QColor GradientLine(int line);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FillGradient(QPainter* painter, const QRect& rect) const;

    QString format_;
};

class CListCtrlCl : public QTableWidget {
    Q_OBJECT
public:
    static constexpr const char* kSelectedIcon = "images/lyric/lyricsearch_songicon_over_123.png";

    explicit CListCtrlCl(QWidget* parent = nullptr);

    CHeaderCtrlCl* Header() const { return header_; }

    // alignment: 0 left, 1 centre, 2 right.
    void InsertColumn(int column, const QString& text, int alignment, int width);
    // Inserts a row holding `text` in its first column; returns the row.
    int InsertItem(int row, const QString& text);
    void SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    void SetRowHeight(int height);

    void SetRowColor(int row, const QColor& background) { rowBackground_[row] = background; }
    void SetRowTextColor(int row, const QColor& text) { rowText_[row] = text; }
    void SetItemColor(int row, int column, const QColor& background) {
        cellBackground_[{row, column}] = background;
    }
    void SetItemTextColor(int row, int column, const QColor& text) {
        cellText_[{row, column}] = text;
    }
    // The colours an unselected cell is drawn in: the cell's, else the row's, else the system's.
    QColor CellBackground(int row, int column) const;
    QColor CellTextColor(int row, int column) const;

    const QPixmap& SelectedIcon() const { return icon_; }

private:
    CHeaderCtrlCl* header_;
    QPixmap icon_;
    QString alignments_;
    std::map<int, QColor> rowBackground_;
    std::map<int, QColor> rowText_;
    std::map<std::pair<int, int>, QColor> cellBackground_;
    std::map<std::pair<int, int>, QColor> cellText_;
};
