#include "CDisplayCamDlg.h"

#include <QPainter>
#include <QSignalBlocker>

#include "CSampleGrabberCB.h"
#include "CameraController.h"
#include "CameraPropertyPages.h"
#include "DialogUnits.h"
#include "SkinFont.h"
#include "TipTexts.h"

using zavreo::MirrorModes;

namespace {

constexpr const char* kMirrorImages[] = {"images/right_mirror_normal_76.png",
                                         "images/right_fliphorizintal_normal_78.png",
                                         "images/right_flipvertical_normal_80.png"};
constexpr char kSelectImage[] = "images/right/Special/picture&video_select_73.png";
// Static 1044, where the title picture is drawn.
constexpr QRect kTitleArea = PanelUnits::Rect(7, 66, 249, 20);

}  // namespace

CDisplayCamDlg::CDisplayCamDlg(zavreo::CameraController& camera, zavreo::CSampleGrabberCB& grabber,
                               QWidget* parent)
    : QWidget(parent),
      camera_(camera),
      grabber_(grabber),
      background_(QStringLiteral("images/right/display/background_21.png")),
      title_(QStringLiteral("images/right_specialeffect_title_72.png")),
      cameraLabel_(QStringLiteral("选择摄像头："), this),
      sizeLabel_(QStringLiteral("输出大小："), this),
      cameras_(this),
      sizes_(this),
      mirrorButtons_{CPngButton(this), CPngButton(this), CPngButton(this)},
      settings_(this) {
    const QFont font = SkinFont::Make(12, 600);
    for (QLabel* label : {&cameraLabel_, &sizeLabel_}) {
        label->setFont(font);
        label->setStyleSheet(QStringLiteral("color: rgb(120,120,120); background: transparent;"));
    }
    cameraLabel_.setGeometry(PanelUnits::Rect(10, 14, 62, 14));
    cameras_.setGeometry(PanelUnits::Rect(72, 11, 176, 18));
    sizeLabel_.setGeometry(PanelUnits::Rect(10, 40, 62, 14));
    sizes_.setGeometry(PanelUnits::Rect(72, 37, 110, 18));
    settings_.SetImages("images/right/display/button_normal_55.png",
                        "images/right/display/button_over_55.png",
                        "images/right/display/button_press_55.png");
    settings_.move(PanelUnits::X(194), PanelUnits::Y(37) - 2);
    const int mirrorLeft[] = {10, 89, 168};
    for (int mode = 0; mode < 3; ++mode) {
        CPngButton& button = mirrorButtons_[mode];
        button.SetImages(kMirrorImages[mode], kMirrorImages[mode], kSelectImage, 4);
        button.move(PanelUnits::X(mirrorLeft[mode]), PanelUnits::Y(94));
        connect(&button, &CPngButton::clicked, this,
                [this, mode] { ClickMirror(static_cast<MirrorModes::Mode>(mode)); });
    }
    connect(&settings_, &CPngButton::clicked, this, &CDisplayCamDlg::ShowSettings);
    connect(&cameras_, &QComboBox::currentIndexChanged, this,
            [this](int index) { camera_.ChooseCamera(index); });
    connect(&sizes_, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { camera_.ChooseSize(text.toStdString()); });
    connect(&camera_, &zavreo::CameraController::CamerasListed, this, &CDisplayCamDlg::FillCameras);
    connect(&camera_, &zavreo::CameraController::SizesListed, this, &CDisplayCamDlg::FillSizes);
}

CPngButton& CDisplayCamDlg::Button(int id) {
    switch (id) {
        case IDC_MIRROR:
            return mirrorButtons_[MirrorModes::kDoubleSide];
        case IDC_FLIP_HORIZONTAL:
            return mirrorButtons_[MirrorModes::kFlipHorizontal];
        case IDC_FLIP_VERTICAL:
            return mirrorButtons_[MirrorModes::kFlipVertical];
        default:
            return settings_;
    }
}

// The controller already knows what it listed: filling the boxes must not echo it back.
void CDisplayCamDlg::FillCameras(const QStringList& names, int selected) {
    const QSignalBlocker quiet(cameras_);
    cameras_.clear();
    cameras_.addItems(names);
    cameras_.setCurrentIndex(selected);
}

void CDisplayCamDlg::FillSizes(const QStringList& sizes, int best) {
    const QSignalBlocker quiet(sizes_);
    sizes_.clear();
    sizes_.addItems(sizes);
    sizes_.setCurrentIndex(best);
}

void CDisplayCamDlg::ClickMirror(MirrorModes::Mode mode) {
    const MirrorModes::Change change = mirror_.Click(mode);
    grabber_.ConfigureEffect(change.operation, zavreo::kEffectMirror, change.params);
    for (int other = 0; other < 3; ++other) {
        mirrorButtons_[other].SetSelected(mirror_.Selected(static_cast<MirrorModes::Mode>(other)));
    }
}

void CDisplayCamDlg::ShowSettings() {
    if (camera_.CameraGraph().State() == zavreo::GraphRunning) {
        CameraPropertyPages::ShowPropertyPages(camera_.CameraGraph(), this);
    } else {
        emit Tip(QString::fromUtf8(TipText::kOpenCameraFirst));
    }
}

void CDisplayCamDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
    painter.drawPixmap(kTitleArea, title_);
    painter.setPen(QColor(96, 96, 96));
    for (const QWidget* combo :
         {static_cast<QWidget*>(&cameras_), static_cast<QWidget*>(&sizes_)}) {
        painter.drawRect(combo->geometry().adjusted(-2, -2, 1, 1));
    }
}
