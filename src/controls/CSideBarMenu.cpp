#include "CSideBarMenu.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "SkinFont.h"

namespace {

// Draws and measures the items; the menu frame and margins are removed so items fill the menu.
class SideBarMenuStyle : public QProxyStyle {
public:
    explicit SideBarMenuStyle(bool swatches) : swatches_(swatches) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        switch (metric) {
            case PM_MenuPanelWidth:
            case PM_MenuHMargin:
            case PM_MenuVMargin:
            case PM_MenuDesktopFrameWidth:
                return 0;
            default:
                return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type != CT_MenuItem) {
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        }
        const auto* item = static_cast<const QStyleOptionMenuItem*>(option);
        const QFontMetrics metrics(item->font);
        if (item->text.isEmpty()) {
            return QSize(20, 8);
        }
        // Room for the whole text: wide CJK glyphs would not fit in a count of average widths.
        const int byCount = int(item->text.size()) * metrics.averageCharWidth() + 5;
        const int byText = TextLeft() + metrics.horizontalAdvance(item->text) + 12;
        return QSize(std::max(byCount, byText), metrics.height() + 5);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element != CE_MenuItem) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const auto* item = static_cast<const QStyleOptionMenuItem*>(option);
        const QRect r = item->rect;
        const bool selected = (item->state & State_Selected) && (item->state & State_Enabled);
        painter->save();
        painter->fillRect(
            r, selected ? CSideBarMenu::HighlightColor() : CSideBarMenu::BackgroundColor());
        painter->setPen(selected ? CSideBarMenu::HighlightTextColor() : CSideBarMenu::TextColor());
        painter->setFont(item->font);
        const QRect text(r.left() + TextLeft(), r.top(), r.width() - TextLeft(), r.height());
        if (item->text.isEmpty()) {
            painter->setPen(CSideBarMenu::SeparatorColor());
            painter->drawLine(r.left() + 2, r.top() + 2, r.right(), r.top() + 2);
        } else {
            painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              item->text);
        }
        if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked) {
            // A dot in the margin left of the text marks the choice in force.
            const int size = 5;
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setBrush(painter->pen().color());
            painter->drawEllipse(QRect(r.left() + (TextLeft() - size) / 2,
                                       r.top() + (r.height() - size) / 2, size, size));
        }
        if (swatches_ && widget) {
            const auto* menu = static_cast<const QMenu*>(widget);
            const QAction* action = menu->actionAt(r.center());
            if (const auto colour = CSideBarMenuZJ::SwatchColor(CSideBarMenu::CommandId(action))) {
                // A square in the margin left of the text, so the name stays readable.
                painter->fillRect(QRect(r.left() + 4, r.top() + 4, 14, r.height() - 9), *colour);
            }
        }
        painter->restore();
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_PanelMenu || element == PE_FrameMenu) {
            painter->fillRect(option->rect, CSideBarMenu::BackgroundColor());
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    int TextLeft() const { return swatches_ ? 22 : 10; }

    bool swatches_;
};

}  // namespace

CSideBarMenu::CSideBarMenu(QWidget* parent) : CSideBarMenu(parent, false) {}

CSideBarMenu::CSideBarMenu(QWidget* parent, bool swatches) : QMenu(parent) {
    setFont(SkinFont::Make(kTextPixels, 500));
    auto* style = new SideBarMenuStyle(swatches);
    style->setParent(this);
    setStyle(style);
}

QAction* CSideBarMenu::AppendMenu(int id, const QString& text) {
    QAction* action = addAction(text);
    action->setData(id);
    // An empty item is a separator line: nothing to choose.
    action->setEnabled(!text.isEmpty());
    return action;
}

int CSideBarMenu::TrackPopupMenu(const QPoint& globalPos) {
    return CommandId(exec(globalPos));
}

int CSideBarMenu::CommandId(const QAction* action) {
    return action ? action->data().toInt() : 0;
}

CSideBarMenuZJ::CSideBarMenuZJ(QWidget* parent) : CSideBarMenu(parent, true) {}

std::optional<QColor> CSideBarMenuZJ::SwatchColor(int id) {
    switch (id) {
        case 6601:
            return QColor(0, 0, 255);
        case 6602:
            return QColor(144, 0, 255);
        case 6603:
            return QColor(255, 255, 0);
        case 6604:
            return QColor(192, 192, 192);
        case 6605:
            return QColor(0, 255, 0);
        default:
            return std::nullopt;
    }
}
