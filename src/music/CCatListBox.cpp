#include "CCatListBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "BitmapResource.h"
#include "CDLEdit.h"
#include "SkinFont.h"
#include "SkinPalette.h"
#include "SongTagCache.h"
#include "SongTags.h"

using zavreo::CatCategory;
using zavreo::CatItem;
using zavreo::PlaylistModel;

namespace {

constexpr const char* kArrowOpen = "images/left/wodegequ/mysong_zhankai_101.png";
constexpr const char* kArrowClosed = "images/left/wodegequ/mysong_shouqi_127.png";
constexpr const char* kAddImages[] = {"images/left/wodegequ/mysong_tianjia_normal_94.png",
                                      "images/left/wodegequ/mysong_tianjia_over_94.png",
                                      "images/left/wodegequ/mysong_tianjia_press_94.png"};
constexpr const char* kMenuImages[] = {"images/left/wodegequ/mysong_menue_normal_98.png",
                                       "images/left/wodegequ/mysong_menue_over_98.png",
                                       "images/left/wodegequ/mysong_menue_press_98.png"};
constexpr const char* kModeImages[] = {"images/left/wodegequ/mysong_danqubofang_96.png",
                                       "images/left/wodegequ/mysong_danquxunhuan_96.png",
                                       "images/left/wodegequ/mysong_xunhuanbofang_96.png",
                                       "images/left/wodegequ/mysong_suijibofang_96.png"};
constexpr const char* kSongImages[] = {"images/left/wodegequ/mymusic_song_normal_105.png",
                                       "images/left/wodegequ/mymusic_song_playing_110.png",
                                       "images/left/wodegequ/mymusic_song_press_72.png"};
constexpr int kFirstListsForEdit = 12;

// Zones of a header row, as x ranges from the row's right edge R.
struct Zones {
    QRect arrow, add, mode, menu;
};

Zones HeaderZones(const QRect& row) {
    const int h = row.height() - 1;
    const int top = row.top() + 1;
    const int r = row.right() + 1;
    return {QRect(row.left() + 20, top, h / 2, h), QRect(r - 90, top, 15, h),
            QRect(r - 65, top, h / 2, h), QRect(r - 40, top, 15, h)};
}

// Icons stand with their left edge 10 pixels left of their zone's right edge.
QRect IconRect(const QRect& zone, int height) {
    return QRect(zone.right() + 1 - 10, zone.center().y() - 5, 15, height);
}

QRect NameArea(const QRect& row) {
    return row.adjusted(20, 1, -90, -2);
}

int StateIndex(int state) {
    return state >= 0 && state <= 2 ? state : 0;
}

}  // namespace

CCatListBox::CCatListBox(PlaylistModel& model, QWidget* parent)
    : QAbstractScrollArea(parent),
      model_(model),
      background_(BitmapResource::Load(169)),
      headerFont_(SkinFont::Make(14, 600)),
      songFont_(SkinFont::Make(14, 500)) {
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Focus is taken by hand on a click, after the name edit box has been asked whether it had
    // it.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    model_.changed = [this] { ModelChanged(); };
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
            qOverload<>(&QWidget::update));
    ModelChanged();
}

const QPixmap& CCatListBox::Image(const char* path) {
    auto found = images_.find(path);
    if (found == images_.end()) {
        found = images_.emplace(path, QPixmap(QString::fromUtf8(path))).first;
    }
    return found->second;
}

void CCatListBox::ModelChanged() {
    const int visible = std::max(1, viewport()->height() / kRowHeight);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, model_.RowCount() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
    FollowRenamedList();
    viewport()->update();
}

void CCatListBox::FollowRenamedList() {
    if (nameEdit_ == nullptr || editMode_ != NameEditRename) {
        return;
    }
    if (const zavreo::CatCategory* list = model_.Find(renameList_)) {
        nameEdit_->move(nameEdit_->x(), (list->headerRow - TopRow()) * kRowHeight + 5);
    }
}

void CCatListBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    ModelChanged();
}

int CCatListBox::TopRow() const {
    return verticalScrollBar()->value();
}

void CCatListBox::ScrollToEnd() {
    ModelChanged();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CCatListBox::ScrollToRow(int row) {
    ModelChanged();
    const int visible = std::max(1, viewport()->height() / kRowHeight);
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + visible) {
        bar->setValue(row - visible + 1);
    }
}

void CCatListBox::SetSongTags(zavreo::SongTagCache* tags) {
    tags_ = tags;
    connect(tags_, &zavreo::SongTagCache::TagsRead, viewport(), qOverload<>(&QWidget::update));
}

QRect CCatListBox::RowRect(int row) const {
    return QRect(0, (row - TopRow()) * kRowHeight, viewport()->width(), kRowHeight);
}

int CCatListBox::HitRow(const QPoint& point) const {
    for (int row = TopRow(); row < model_.RowCount(); ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() >= viewport()->height()) {
            break;
        }
        if (rect.adjusted(20, 1, 0, -2).contains(point)) {
            return row;
        }
    }
    return -1;
}

CCatListBox::Zone CCatListBox::HitZone(int row, const QPoint& point) const {
    const PlaylistModel::RowContent content = model_.Row(row);
    if (content.list == nullptr) {
        return Zone::None;
    }
    const QRect rect = RowRect(row);
    if (NameArea(rect).contains(point)) {
        return Zone::Name;
    }
    if (content.song >= 0) {
        return Zone::Other;
    }
    const Zones zones = HeaderZones(rect);
    const auto across = [&](const QRect& zone) {
        return point.x() >= zone.left() && point.x() <= zone.right() + 1;
    };
    if (across(zones.menu)) {
        return Zone::MenuButton;
    }
    if (across(zones.add)) {
        return Zone::AddButton;
    }
    if (across(zones.mode)) {
        return Zone::ModeIcon;
    }
    return Zone::Other;
}

void CCatListBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Skin::Background());
    if (!background_.isNull()) {
        painter.drawPixmap(0, 0, background_);
    }
    for (int row = TopRow(); row < model_.RowCount(); ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() >= viewport()->height()) {
            break;
        }
        const PlaylistModel::RowContent content = model_.Row(row);
        if (content.song < 0) {
            DrawHeader(painter, rect, *content.list, *content.category);
        } else {
            DrawSong(painter, rect, content.category->items[content.song]);
        }
    }
    if (nameEdit_ != nullptr && newNameViewRow_ >= 0) {
        const int top = newNameViewRow_ * kRowHeight;
        painter.drawPixmap(QRect(25, top + 10, 15, 13), Image(kArrowClosed));
    }
}

void CCatListBox::DrawHeader(QPainter& painter, const QRect& rect, const std::string& name,
                             const CatCategory& category) {
    const Zones zones = HeaderZones(rect);
    const bool open = category.isOpen && !category.items.empty();
    painter.drawPixmap(IconRect(zones.arrow, 13), Image(open ? kArrowOpen : kArrowClosed));
    // The stand-in row only frames the name edit box.
    if (name == kPlaceholderList) {
        return;
    }
    painter.drawPixmap(IconRect(zones.add, 13),
                       Image(kAddImages[StateIndex(category.addButtonState)]));
    painter.drawPixmap(IconRect(zones.mode, 13),
                       Image(kModeImages[std::clamp(model_.m_nModeMark, 0, 3)]));
    painter.drawPixmap(IconRect(zones.menu, 13),
                       Image(kMenuImages[StateIndex(category.menuButtonState)]));
    const int anchor = rect.left() + 20 + (kRowHeight - 1) / 2;
    painter.setFont(headerFont_);
    painter.setPen(Qt::white);
    const QRect text(anchor + 15, rect.top() + 8, zones.add.left() - anchor - 20, kRowHeight - 8);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(QString::fromStdString(name), Qt::ElideRight,
                                                      text.width()));
}

void CCatListBox::DrawSong(QPainter& painter, const QRect& rect, const CatItem& item) {
    const Zones zones = HeaderZones(rect);
    painter.drawPixmap(IconRect(zones.arrow, 14), Image(kSongImages[StateIndex(item.state)]));
    const int anchor = rect.left() + 20 + (kRowHeight - 1) / 2;
    painter.setFont(songFont_);
    painter.setPen(Skin::DimText());
    const QRect text(anchor + 15, rect.top() + 8, rect.right() - anchor - 30, kRowHeight - 8);
    if (tags_ != nullptr) {
        tags_->Want(item.text);
    }
    const QString name = QString::fromStdString(
        zavreo::ShownSongName(item.text, tags_ != nullptr ? tags_->Find(item.text) : nullptr));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
}

void CCatListBox::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        const int row = HitRow(point);
        model_.m_nClickedRow = row;
        const PlaylistModel::RowContent content = model_.Row(row);
        if (content.list != nullptr && content.song >= 0) {
            const int state = content.category->items[content.song].state;
            if (state == zavreo::ItemPlaying || state == zavreo::ItemSelected) {
                emit SongMenuRequested();
            }
        }
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (nameEdit_ != nullptr && nameEdit_->hasFocus()) {
        emit CommitNameRequested(false);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const int row = HitRow(point);
    if (row < 0) {
        return;
    }
    model_.m_nClickedRow = row;
    model_.m_nCurrentRow = row;
    const PlaylistModel::RowContent content = model_.Row(row);
    if (content.list == nullptr) {
        return;
    }
    const std::string list = *content.list;
    const Zone zone = HitZone(row, point);
    if (zone == Zone::Name) {
        if (content.song < 0) {
            if (!content.category->items.empty()) {
                model_.SetCategoryOpen(list, !content.category->isOpen);
            }
        } else {
            emit SongClicked(row);
        }
        return;
    }
    if (content.song >= 0) {
        return;
    }
    CatCategory* category = model_.Find(list);
    switch (zone) {
        case Zone::MenuButton:
            category->menuButtonState = 2;
            viewport()->update();
            emit ListMenuRequested();
            break;
        case Zone::AddButton:
            category->addButtonState = 2;
            viewport()->update();
            emit AddMenuRequested();
            break;
        case Zone::ModeIcon:
            category->addButtonState = 2;
            emit ModeMenuRequested();
            break;
        default:
            break;
    }
}

void CCatListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const int row = HitRow(point);
    const PlaylistModel::RowContent content = model_.Row(row);
    if (content.list == nullptr || content.song >= 0) {
        return;
    }
    CatCategory* category = model_.Find(*content.list);
    switch (HitZone(row, point)) {
        case Zone::MenuButton:
            category->menuButtonState = 0;
            break;
        case Zone::AddButton:
        case Zone::ModeIcon:
            category->addButtonState = 0;
            break;
        default:
            return;
    }
    viewport()->update();
}

void CCatListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const int row = HitRow(point);
    if (row >= 0 && model_.Row(row).song >= 0 && HitZone(row, point) == Zone::Name) {
        emit SongDoubleClicked(row);
    }
}

void CCatListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const PlaylistModel::RowContent content = model_.Row(model_.m_nCurrentRow);
    if (content.list == nullptr) {
        return;
    }
    const std::string list = *content.list;
    if (content.song < 0) {
        model_.SetCategoryOpen(list, !content.category->isOpen);
        return;
    }
    const int state = model_.GetItemState(list, content.song);
    if (state == zavreo::ItemNormal || state == zavreo::ItemPlaying) {
        model_.SetItemState(list, content.song,
                            state == zavreo::ItemNormal ? zavreo::ItemPlaying : zavreo::ItemNormal);
    }
}

void CCatListBox::PlaceNameEdit(int viewRow) {
    if (nameEdit_ == nullptr) {
        nameEdit_ = new CDLEdit(viewport());
        nameEdit_->setObjectName(QStringLiteral("nameEdit2000"));
        QPalette palette = nameEdit_->palette();
        palette.setColor(QPalette::Base, Skin::Background());
        nameEdit_->setPalette(palette);
        connect(nameEdit_, &QLineEdit::returnPressed, this,
                [this] { emit CommitNameRequested(true); });
    }
    const int top = viewRow * kRowHeight;
    const QRect client = viewport()->rect();
    nameEdit_->setGeometry(client.left() + 45, top + 5, client.width() - 45 - 150, 20);
    nameEdit_->clear();
    nameEdit_->show();
    nameEdit_->setFocus(Qt::OtherFocusReason);
}

void CCatListBox::BeginNewName() {
    editMode_ = NameEditNew;
    const int rows = model_.RowCount();
    if (rows >= kFirstListsForEdit) {
        model_.AddCategory(kPlaceholderList);
        ScrollToEnd();
        newNameViewRow_ = -1;
        PlaceNameEdit(model_.Find(kPlaceholderList)->headerRow - TopRow());
    } else {
        newNameViewRow_ = rows - TopRow();
        PlaceNameEdit(newNameViewRow_);
    }
    viewport()->update();
}

void CCatListBox::BeginRename(int row) {
    editMode_ = NameEditRename;
    renameList_ = model_.CategoryAtRow(row);
    newNameViewRow_ = -1;
    PlaceNameEdit(row - TopRow());
}

std::string CCatListBox::NameEditText() const {
    return nameEdit_ != nullptr ? nameEdit_->text().toStdString() : std::string();
}

void CCatListBox::EndNameEdit() {
    if (model_.Find(kPlaceholderList) != nullptr) {
        model_.RemoveCategory(kPlaceholderList);
    }
    if (nameEdit_ != nullptr) {
        nameEdit_->deleteLater();
        nameEdit_->hide();
        nameEdit_ = nullptr;
    }
    newNameViewRow_ = -1;
    viewport()->update();
}
