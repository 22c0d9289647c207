#include "CBitComboBox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyledItemDelegate>

#include "SkinFont.h"
#include "SkinPalette.h"

namespace {

// Items of the open list: highlight background and white text under the mouse.
class ComboItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool hot = option.state & (QStyle::State_MouseOver | QStyle::State_Selected);
        painter->fillRect(option.rect, hot ? Skin::Highlight() : Skin::Background());
        painter->setPen(hot ? QColor(Qt::white) : Skin::Text());
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(CBitComboBox::kTextInset, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 20));
        return size;
    }
};

}  // namespace

CBitComboBox::CBitComboBox(QWidget* parent) : QComboBox(parent) {
    setFont(SkinFont::Make(12, 600));
    setItemDelegate(new ComboItemDelegate(this));
    QAbstractItemView* list = view();
    list->setMouseTracking(true);
    QPalette colours = list->palette();
    colours.setColor(QPalette::Base, Skin::Background());
    colours.setColor(QPalette::Text, Skin::Text());
    list->setPalette(colours);
    list->setStyleSheet(QStringLiteral("border: 1px solid rgb(96,96,107);"));
}

QColor CBitComboBox::FaceTextColor() const {
    return hasFocus() ? QColor(Qt::white) : Skin::Text();
}

void CBitComboBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Skin::Background());
    p.setFont(font());
    p.setPen(FaceTextColor());
    p.drawText(rect().adjusted(kTextInset, 0, -16, 0),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, currentText());
    // A small drop-down arrow in the text colour.
    const int cx = width() - 9;
    const int cy = height() / 2;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Skin::Text());
    const QPointF arrow[] = {{cx - 4.0, cy - 2.0}, {cx + 4.0, cy - 2.0}, {double(cx), cy + 3.0}};
    p.drawPolygon(arrow, 3);
}
