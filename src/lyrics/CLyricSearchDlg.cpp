#include "CLyricSearchDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <optional>
#include <set>

#include "CElidedLabel.h"
#include "CListCtrlCl.h"
#include "DialogUnits.h"
#include "LyricClient.h"
#include "PlaylistModel.h"
#include "SkinPalette.h"
#include "ToolWindow.h"

namespace {

constexpr char kFolder[] = "images/lyric/";

void SetTriple(CPngButton& button, const std::string& stem, const std::string& number) {
    const std::string base = kFolder + stem;
    button.SetImages(base + "normal_" + number, base + "over_" + number, base + "press_" + number);
}

QString Text(const Json::Value& row, const char* member) {
    const Json::Value& value = row[member];
    return value.isString() ? QString::fromStdString(value.asString()) : QString();
}

}  // namespace

CLyricSearchDlg::CLyricSearchDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint),
      background_(QString::fromUtf8(kFolder) + QStringLiteral("searchlyric_background_138.png")),
      title_(new QLineEdit(this)),
      artist_(new QLineEdit(this)),
      list_(new CListCtrlCl(this)),
      status_(new CElidedLabel(this)) {
    setWindowTitle(QStringLiteral("搜索歌词"));
    ToolWindow::KeepOutOfTaskbar(*this);
    setFixedSize(DialogUnits::X(398), DialogUnits::Y(281));
    QFont captionFont(QStringLiteral("黑体"));
    captionFont.setPixelSize(16);
    captionFont.setWeight(QFont::Normal);
    const struct {
        const char* text;
        int x, y, width, height;
    } captions[] = {{"歌名：", 11, 44, 34, 13},
                    {"歌手：", 200, 44, 34, 13},
                    {"歌曲", 27, 75, 40, 13},
                    {"歌手", 273, 75, 40, 13},
                    {"时长", 333, 75, 40, 13}};
    for (const auto& caption : captions) {
        auto* label = new QLabel(QString::fromUtf8(caption.text), this);
        label->setGeometry(DialogUnits::Rect(caption.x, caption.y, caption.width, caption.height));
        label->setFont(captionFont);
        label->setStyleSheet(QStringLiteral("color: rgb(142,143,157); background: transparent;"));
    }
    title_->setGeometry(DialogUnits::Rect(50, 43, 138, 14));
    artist_->setGeometry(DialogUnits::Rect(238, 43, 72, 14));
    for (QLineEdit* edit : {title_, artist_}) {
        edit->setStyleSheet(
            QStringLiteral("color: rgb(115,117,123); background: rgb(44,44,53); border: 1px solid "
                           "rgb(96,96,107);"));
        connect(edit, &QLineEdit::returnPressed, this, &CLyricSearchDlg::Search);
    }
    status_->setGeometry(DialogUnits::Rect(11, 60, 380, 12));
    status_->setFont(captionFont);
    status_->setStyleSheet(QStringLiteral("color: rgb(216,216,216); background: transparent;"));
    list_->setGeometry(DialogUnits::Rect(0, 93, 397, 157));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->horizontalHeader()->hide();
    list_->setFrameShape(QFrame::StyledPanel);
    list_->setFrameShadow(QFrame::Sunken);
    list_->setStyleSheet(QStringLiteral("QTableWidget { background: rgb(44,44,53); }"));
    list_->InsertColumn(0, QStringLiteral(" "), 0, 20);
    list_->InsertColumn(1, QStringLiteral("歌名"), 0, 370);
    list_->InsertColumn(2, QStringLiteral("歌手"), 0, 90);
    list_->InsertColumn(3, QStringLiteral("时长"), 0, 91);

    const struct {
        CPngButton* button;
        int x, y;
    } placed[] = {{&search_, 334, 42},
                  {&use_, 73, 253},
                  {&cancel_, 271, 253},
                  {&titlePicture_, 8, 4},
                  {&close_, 377, 8}};
    for (const auto& place : placed) {
        place.button->setParent(this);
        place.button->move(DialogUnits::X(place.x), DialogUnits::Y(place.y));
    }
    SetTriple(search_, "searchbutton_", "99.png");
    SetTriple(use_, "searchlyric_yes_", "150.png");
    SetTriple(cancel_, "searchlyric_no_", "153.png");
    const std::string title = std::string(kFolder) + "title.png";
    titlePicture_.SetImages(title, title, title);
    SetTriple(close_, "lyriccontrol_close_", "162.png");
    connect(&search_, &CPngButton::clicked, this, &CLyricSearchDlg::Search);
    connect(&use_, &CPngButton::clicked, this, &CLyricSearchDlg::UseSelected);
    connect(&cancel_, &CPngButton::clicked, this, &QWidget::hide);
    connect(&close_, &CPngButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
}

void CLyricSearchDlg::ShowEmpty() {
    if (const std::optional<PlayingSong> song = playingSong ? playingSong() : std::nullopt;
        song && song->path != filledFor_) {
        filledFor_ = song->path;
        title_->setText(QString::fromStdString(
            song->title.empty() ? zavreo::PlaylistModel::DisplayName(song->path) : song->title));
        artist_->setText(QString::fromStdString(song->artist));
    }
    SetState(zavreo::LyricSearchState::kIdle);
    show();
    list_->setRowCount(0);
}

void CLyricSearchDlg::SetState(zavreo::LyricSearchState state, int count,
                               const std::filesystem::path& file) {
    state_ = state;
    status_->setText(QString::fromStdString(zavreo::LyricSearchStatusText(state, count, file)));
}

void CLyricSearchDlg::Search() {
    list_->setRowCount(0);
    shown_ = Json::Value();
    const std::string title = zavreo::EncodeQueryValue(title_->text().toStdString());
    const std::string artist = zavreo::EncodeQueryValue(artist_->text().toStdString());
    SetState(zavreo::LyricSearchState::kSearching);
    query_.Start<std::optional<Json::Value>>(
        [title, artist](const std::atomic<bool>& cancel) {
            return zavreo::QueryLyrics(title, artist, &cancel, zavreo::kLyricSearchTimeoutSeconds);
        },
        [this](std::optional<Json::Value> reply) {
            const int rows = reply ? ShowReply(*reply) : 0;
            SetState(zavreo::StateOfReply(reply, rows), rows);
            emit ResultsShown();
        });
}

int CLyricSearchDlg::ShowReply(const Json::Value& reply) {
    if (!reply.isObject() || (reply["status"].isIntegral() && reply["status"].asInt64() == 404)) {
        return 0;
    }
    const Json::Value& message = reply["message"];
    if (!message.isObject() || !message["data"].isArray() || !message["rows"].isIntegral()) {
        return 0;
    }
    shown_ = reply;
    const Json::Value& data = message["data"];
    const long long rows = std::min<long long>(message["rows"].asInt64(), data.size());
    int listed = 0;
    for (int i = 0; i < rows && i < kMaxRows; ++i) {
        const Json::Value& row = data[i];
        if (!row.isObject()) {
            break;
        }
        ++listed;
        list_->InsertItem(i, QString());
        list_->SetRowTextColor(i, Skin::DimText());
        list_->SetItemText(i, 1, Text(row, "title"));
        list_->SetItemText(i, 2, Text(row, "artist"));
        list_->SetItemText(i, 3, Text(row, "length_format"));
    }
    return listed;
}

void CLyricSearchDlg::UseSelected() {
    if (!playingSong || !playingSong() || !useLyrics) {
        SetState(zavreo::LyricSearchState::kNoSong);
        return;
    }
    std::set<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        rows.insert(index.row());
    }
    for (const int row : rows) {
        const std::string text = zavreo::ReshapedContent(shown_, row);
        if (text.empty()) {
            continue;
        }
        if (const std::optional<std::filesystem::path> file = useLyrics(text)) {
            SetState(zavreo::LyricSearchState::kSaved, 0, *file);
        }
    }
}

void CLyricSearchDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}

void CLyricSearchDlg::keyPressEvent(QKeyEvent* event) {
    // Enter searches from the boxes (returnPressed) and never closes the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CLyricSearchDlg::mousePressEvent(QMouseEvent* event) {
    drag_.Press(*this, *event);
}

void CLyricSearchDlg::mouseMoveEvent(QMouseEvent* event) {
    drag_.Move(*this, *event);
}

void CLyricSearchDlg::resizeEvent(QResizeEvent*) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 4.5, 4.5);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
