#include "CMusicDlg.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>

#include "DialogUnits.h"
#include "SkinFont.h"

CMusicDlg::CMusicDlg(QWidget* parent)
    : QWidget(parent),
      search_(new QLineEdit(this)),
      searchButton_(this),
      addButton_(this),
      promotion_(new QLabel(this)),
      adFrame_(PanelUnits::Rect(66, 321, 11, 10)),
      background_(QStringLiteral("images/right/Music/background_20.png")),
      ad_(QStringLiteral("images/right/Special/ad_130.png")) {
    setAttribute(Qt::WA_TranslucentBackground);
    resize(PanelUnits::kWidthPixels, PanelUnits::kHeightPixels);

    search_->setObjectName(QStringLiteral("edit1108"));
    search_->setGeometry(PanelUnits::Rect(21, 13, 152, 16));
    search_->setFont(SkinFont::Make(12, 600));
    search_->setPlaceholderText(QString::fromUtf8(kSearchPrompt));
    search_->setFrame(false);
    // The text sits in the lower part of the box, vertically centred as a whole.
    search_->setTextMargins(2, 6, 2, 0);
    QPalette palette = search_->palette();
    palette.setColor(QPalette::Text, QColor(141, 149, 156));
    palette.setColor(QPalette::PlaceholderText, QColor(141, 149, 156));
    palette.setColor(QPalette::Base, QColor(43, 43, 52));
    search_->setPalette(palette);

    searchButton_.SetImages("images/right/Music/searchIcon.png",
                            "images/right/Music/searchIcon.png",
                            "images/right/Music/searchIcon.png");
    searchButton_.move(PanelUnits::X(174), PanelUnits::Y(13));
    addButton_.SetImages("images/right/Music/benditianjia_normal_57.png",
                         "images/right/Music/benditianjia_over_57.png",
                         "images/right/Music/benditianjia_press_57.png");
    addButton_.move(PanelUnits::X(208), PanelUnits::Y(11));

    promotion_->setObjectName(QStringLiteral("static1081"));
    promotion_->setGeometry(PanelUnits::Rect(80, 321, 129, 8).adjusted(0, -3, 0, 3));
    promotion_->setText(QStringLiteral("边唱边播，好歌不停"));
    promotion_->setFont(SkinFont::Make(12, 400));
    promotion_->setStyleSheet(
        QStringLiteral("color: rgb(206, 203, 204); background: transparent;"));
    promotion_->setCursor(Qt::PointingHandCursor);
    promotion_->installEventFilter(this);

    connect(&searchButton_, &CPngButton::clicked, this,
            [this] { emit SearchRequested(search_->text()); });
    connect(search_, &QLineEdit::returnPressed, this,
            [this] { emit SearchRequested(search_->text()); });
    connect(&addButton_, &CPngButton::clicked, this, &CMusicDlg::AddLocalSongs);
}

bool CMusicDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == promotion_ && event->type() == QEvent::MouseButtonRelease) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString::fromUtf8(kPromotionLink),
                        QMessageBox::Ok, this);
        box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box.exec();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CMusicDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
    painter.drawPixmap(adFrame_, ad_);
    painter.setPen(QColor(96, 96, 96));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(search_->geometry().adjusted(-1, -1, 0, 0));
}
