#include "CDisplayPic.h"

#include <QFileDialog>
#include <QPainter>

#include "CameraController.h"
#include "TipTexts.h"

namespace {

void SetPlayImages(CPngButton& button, bool showing) {
    const std::string stem =
        showing ? "images/right/display/tingzhi_" : "images/right/display/button_";
    button.SetImages(stem + "normal_54.png", stem + "over_54.png", stem + "press_54.png");
}

void SetNumbered(CPngButton& button, const char* number) {
    const std::string stem = "images/right/display/button_";
    button.SetImages(stem + "normal_" + number + ".png", stem + "over_" + number + ".png",
                     stem + "press_" + number + ".png");
}

}  // namespace

CDisplayPic::CDisplayPic(zavreo::CameraController& camera, zavreo::SharedFrame& output,
                         QTimer& timer, std::filesystem::path listFile, QWidget* parent)
    : QWidget(parent),
      camera_(camera),
      output_(output),
      timer_(timer),
      listFile_(std::move(listFile)),
      background_(QStringLiteral("images/right/display/background_22.png")),
      add_(this),
      remove_(this),
      removeAll_(this),
      show_(this),
      box_(this) {
    SetNumbered(add_, "48");
    SetNumbered(remove_, "50");
    SetNumbered(removeAll_, "52");
    SetPlayImages(show_, false);
    // One row of buttons above the grid, which starts 55 pixels down.
    int x = 12;
    for (CPngButton* button : {&add_, &remove_, &removeAll_, &show_}) {
        button->move(x, 14);
        x += 94;
    }
    box_.setGeometry(0, 55, 390, 405);
    connect(&add_, &CPngButton::clicked, this, &CDisplayPic::OnAddClicked);
    connect(&remove_, &CPngButton::clicked, this, &CDisplayPic::RemoveSelected);
    connect(&removeAll_, &CPngButton::clicked, this, &CDisplayPic::RemoveAll);
    connect(&show_, &CPngButton::clicked, this, &CDisplayPic::ToggleSlideshow);
    // An open the slideshow called off ends by writing over the picture shown.
    connect(&camera_, &zavreo::CameraController::CameraOpenFinished, this, [this] {
        if (showing_ &&
            slideshow_.ShowAgain(box_.List().Paths(), output_) == zavreo::Slideshow::Step::kShown) {
            camera_.StartPreview();
        }
    });
    // A picture found unreadable after it was listed leaves the file too.
    connect(&box_.List(), &zavreo::ThumbnailList::Settled, this, [this](bool dropped) {
        if (dropped) {
            SaveList();
        }
    });
}

CPngButton& CDisplayPic::Button(int id) {
    switch (id) {
        case IDC_ADD:
            return add_;
        case IDC_REMOVE:
            return remove_;
        case IDC_REMOVE_ALL:
            return removeAll_;
        default:
            return show_;
    }
}

void CDisplayPic::LoadList() {
    box_.LoadList(listFile_);
}

void CDisplayPic::SaveList() {
    box_.SaveList(listFile_);
}

void CDisplayPic::OnAddClicked() {
    // Saved also when the dialog is cancelled.
    AddPictures(
        QFileDialog::getOpenFileNames(this, QString(), QString(), QString::fromUtf8(kFilter)));
}

void CDisplayPic::AddPictures(const QStringList& paths) {
    for (const QString& path : paths) {
        box_.List().Add(path.toStdString());
    }
    SaveList();
}

void CDisplayPic::RemoveSelected() {
    const int selected = box_.List().SelectedIndex();
    if (selected < 0) {
        emit Tip(QString::fromUtf8(TipText::kSelectPictureFirst));
        return;
    }
    box_.List().Remove(selected);
    SaveList();
}

void CDisplayPic::RemoveAll() {
    box_.List().RemoveAll();
    SaveList();
}

void CDisplayPic::ToggleSlideshow() {
    if (showing_) {
        StopSlideshow();
    } else {
        StartSlideshow();
    }
}

void CDisplayPic::StartSlideshow() {
    emit VideoViewRequested();
    const zavreo::ThumbnailList& list = box_.List();
    if (list.Count() == 0) {
        return;
    }
    slideshow_.Start(list.Selection(), list.Count());
    // A camera still opening is called off too, or it would run beside the pictures.
    if (camera_.CameraGraph().State() == zavreo::GraphRunning || camera_.Busy()) {
        camera_.StopAllSources();
    }
    showing_ = true;
    ShowNextPicture();
    if (!showing_) {
        return;  // nothing left to show
    }
    timer_.start(3000);
    SetPlayImages(show_, true);
    emit SlideshowChanged(true);
}

void CDisplayPic::StopSlideshow() {
    if (!showing_) {
        return;
    }
    camera_.StopAllSources();
    timer_.stop();
    showing_ = false;
    SetPlayImages(show_, false);
    emit SlideshowChanged(false);
}

void CDisplayPic::ShowNextPicture() {
    if (!showing_) {
        return;
    }
    const auto step = slideshow_.ShowNext(box_.List().Paths(), output_);
    if (step == zavreo::Slideshow::Step::kEmpty) {
        StopSlideshow();
    } else if (step == zavreo::Slideshow::Step::kShown) {
        camera_.StartPreview();
    }
}

void CDisplayPic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}
