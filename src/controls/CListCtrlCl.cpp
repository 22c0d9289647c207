#include "CListCtrlCl.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "ResourcePaths.h"

namespace {

constexpr int kStartRed = 171, kStartGreen = 199, kStartBlue = 235, kStep = 8;

Qt::Alignment FromCode(QChar code) {
    return code == QLatin1Char('1')   ? Qt::AlignHCenter
           : code == QLatin1Char('2') ? Qt::AlignRight
                                      : Qt::AlignLeft;
}

class RowDelegate : public QStyledItemDelegate {
public:
    explicit RowDelegate(CListCtrlCl* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row();
        const int column = index.column();
        QRect cell = option.rect;
        if (column == 0) {
            cell.setLeft(cell.left() - 2);
        }
        const bool selected = option.state & QStyle::State_Selected;
        painter->save();
        if (selected) {
            painter->fillRect(cell, Qt::black);
            painter->setPen(list_->palette().color(QPalette::HighlightedText));
            if (column == 0 && !list_->SelectedIcon().isNull()) {
                painter->drawPixmap(QRect(cell.left() + 15, cell.top() + 8, 13, 15),
                                    list_->SelectedIcon());
            }
        } else {
            painter->fillRect(cell, list_->CellBackground(row, column));
            painter->setPen(list_->CellTextColor(row, column));
        }
        // The first column leaves room for the song icon.
        const QRect text = cell.adjusted(column == 0 ? 32 : 3, 0, -3, 0);
        const Qt::Alignment alignment = list_->Header()->ColumnAlignment(column);
        painter->setFont(list_->font());
        painter->drawText(text, alignment | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    CListCtrlCl* list_;
};

}  // namespace

CHeaderCtrlCl::CHeaderCtrlCl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(15);
    setFont(font);
}

Qt::Alignment CHeaderCtrlCl::ColumnAlignment(int column) const {
    return column >= 0 && column < format_.size() ? FromCode(format_[column]) : Qt::AlignLeft;
}

QColor CHeaderCtrlCl::GradientLine(int line) {
    const int off = line * kStep;
    return QColor(std::max(0, kStartRed - off), std::max(0, kStartGreen - off),
                  std::max(0, kStartBlue - off));
}

void CHeaderCtrlCl::FillGradient(QPainter* painter, const QRect& rect) const {
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        painter->setPen(GradientLine(y - rect.top()));
        painter->drawLine(rect.left(), y, rect.right(), y);
    }
}

void CHeaderCtrlCl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    FillGradient(painter, rect);
    painter->setPen(Qt::black);
    painter->setFont(font());
    const QString text =
        model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->drawText(rect.adjusted(3, 0, -3, 0),
                      ColumnAlignment(logicalIndex) | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter->restore();
}

void CHeaderCtrlCl::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    const int last = count() - 1;
    const int end = last >= 0 ? sectionViewportPosition(last) + sectionSize(last) : 0;
    if (end < viewport()->width()) {
        QPainter painter(viewport());
        FillGradient(&painter, QRect(end, 0, viewport()->width() - end, viewport()->height()));
    }
}

CListCtrlCl::CListCtrlCl(QWidget* parent)
    : QTableWidget(parent),
      header_(new CHeaderCtrlCl(this)),
      icon_(Resources::LocalPath(kSelectedIcon)) {
    setHorizontalHeader(header_);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: rgb(230,230,230); }"));
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    setFont(font);
    setItemDelegate(new RowDelegate(this));
    SetRowHeight(30);
}

void CListCtrlCl::InsertColumn(int column, const QString& text, int alignment, int width) {
    insertColumn(column);
    setHorizontalHeaderItem(column, new QTableWidgetItem(text));
    setColumnWidth(column, width);
    alignments_.insert(std::clamp(column, 0, int(alignments_.size())),
                       QChar(u'0' + std::clamp(alignment, 0, 2)));
    header_->SetAlignment(alignments_);
}

int CListCtrlCl::InsertItem(int row, const QString& text) {
    row = std::clamp(row, 0, rowCount());
    insertRow(row);
    setItem(row, 0, new QTableWidgetItem(text));
    return row;
}

void CListCtrlCl::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return;
    }
    if (QTableWidgetItem* existing = item(row, column)) {
        existing->setText(text);
    } else {
        setItem(row, column, new QTableWidgetItem(text));
    }
}

QString CListCtrlCl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CListCtrlCl::SetRowHeight(int height) {
    verticalHeader()->setDefaultSectionSize(height);
}

QColor CListCtrlCl::CellBackground(int row, int column) const {
    if (auto it = cellBackground_.find({row, column}); it != cellBackground_.end()) {
        return it->second;
    }
    if (auto it = rowBackground_.find(row); it != rowBackground_.end()) {
        return it->second;
    }
    return palette().color(QPalette::Base);
}

QColor CListCtrlCl::CellTextColor(int row, int column) const {
    if (auto it = cellText_.find({row, column}); it != cellText_.end()) {
        return it->second;
    }
    if (auto it = rowText_.find(row); it != rowText_.end()) {
        return it->second;
    }
    return palette().color(QPalette::Text);
}
