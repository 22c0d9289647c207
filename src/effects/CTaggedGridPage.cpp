#include "CTaggedGridPage.h"

#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "EffectsPage.h"
#include "JsonLine.h"

using namespace zavreo::effects;

namespace {

constexpr char kHighlight[] = "images/right/Special/picture&video_select_73.png";
constexpr QColor kNameText(206, 203, 204);
constexpr QColor kHighlightedNameText(216, 59, 50);

// Three thumbnails to a row; tags three to a row below the header.
QPoint ThumbnailAt(int index) {
    return UnitsAt(8 + (index % 3) * 62, 8 + (index / 3) * 78);
}
QPoint TagAt(int index) {
    return UnitsAt(8 + (index % 3) * 62, 188 + (index / 3) * 22);
}

}  // namespace

CTaggedGridPage::CTaggedGridPage(QWidget* parent, const EffectsContext& context,
                                 const Template& layout)
    : QWidget(parent),
      context_(context),
      layout_(layout),
      header_(this),
      promoIcon_(Units(8, 282, 68, 27)) {
    for (int i = 0; i < kEntries; ++i) {
        const Entry& entry = layout_.entries[i];
        auto* thumbnail = new CPngButton(this);
        thumbnail->SetImages(entry.picture, entry.hoverPicture, kHighlight, 7);
        thumbnail->move(ThumbnailAt(i));
        connect(thumbnail, &CPngButton::clicked, this, [this, i] { OnThumbnail(i + 1); });
        thumbnails_[i] = thumbnail;
        const QPoint below = ThumbnailAt(i) + QPoint(0, PanelUnits::Y(58));
        labels_[i] =
            MakeStatic(this, QString::fromUtf8(entry.name),
                       QRect(below, QSize(PanelUnits::X(57), PanelUnits::Y(12))), kNameText);
        labels_[i]->setAlignment(Qt::AlignCenter);

        auto* tag = new CPngButton(this);
        tag->SetImages("images/right/Special/specialeffect_lvjing_wodebiaoqian_normal_113.png",
                       "images/right/Special/specialeffect_lvjing_wodebiaoqian_over_113.png",
                       "images/right/Special/specialeffect_lvjing_wodebiaoqian_press_113.png");
        tag->move(TagAt(i));
        tag->hide();
        tag->installEventFilter(this);
        connect(tag, &CPngButton::clicked, this, [this, i] {
            const QPoint cursor = tagRelease_.value_or(QCursor::pos());
            tagRelease_.reset();
            OnTag(i, cursor);
        });
        tags_[i] = tag;
    }
    header_.SetImages("images/right/Special/mytexiao_82.png",
                      "images/right/Special/mytexiao_82.png",
                      "images/right/Special/picture&mytexiao_82.png");
    header_.move(UnitsAt(8, 166));
    new PromoLine(this, Units(82, 290, 105, 12));
}

int CTaggedGridPage::Highlighted() const {
    for (int i = 0; i < kEntries; ++i) {
        if (thumbnails_[i]->IsSelected()) {
            return i + 1;
        }
    }
    return 0;
}

void CTaggedGridPage::SetHighlight(int number) {
    for (int i = 0; i < kEntries; ++i) {
        const bool lit = i + 1 == number;
        thumbnails_[i]->SetSelected(lit);
        QPalette palette = labels_[i]->palette();
        palette.setColor(QPalette::WindowText, lit ? kHighlightedNameText : kNameText);
        labels_[i]->setPalette(palette);
    }
}

void CTaggedGridPage::ShowTags() {
    for (int i = 0; i < kEntries; ++i) {
        const int number = active_.At(i);
        tags_[i]->setVisible(number != 0);
        tags_[i]->setText(number != 0 ? QString::fromUtf8(layout_.entries[number - 1].name)
                                      : QString());
    }
    header_.update();
}

void CTaggedGridPage::OnThumbnail(int number) {
    if (number < 1 || number > kEntries) {
        return;
    }
    SetHighlight(number);
    if (!active_.Add(number)) {
        return;
    }
    ShowTags();
    TurnOn(number);
}

void CTaggedGridPage::OnTag(int tag, QPoint cursor) {
    const int number = active_.At(tag);
    if (number == 0) {
        return;
    }
    const QRect area(tags_[tag]->mapToGlobal(QPoint(0, 0)), tags_[tag]->size());
    if (!TagList::InCloseArea(area, cursor)) {
        return;
    }
    TurnOff(number);
    active_.RemoveAt(tag);
    ShowTags();
    SetHighlight(0);
}

void CTaggedGridPage::FillSettings(Json::Value& group) const {
    for (int number = 1; number <= kEntries; ++number) {
        group[std::to_string(number)] = active_.Contains(number) ? 1 : 0;
    }
}

void CTaggedGridPage::ApplySettings(const Json::Value& group) {
    for (int number = 1; number <= kEntries; ++number) {
        if (zavreo::JsonInt(group, std::to_string(number).c_str()) == 1) {
            OnThumbnail(number);
        }
    }
}

bool CTaggedGridPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        tagRelease_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    }
    return QWidget::eventFilter(watched, event);
}

void CTaggedGridPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPicture(painter, layout_.background, rect());
    PaintPicture(painter, kPromoIcon, promoIcon_);
}
