#include <QSignalSpy>

#include "CBitmapSlider.h"
#include "ControlFixture.h"

namespace {

class BitmapSliderTest : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        slider_ = std::make_unique<CBitmapSlider>(nullptr, 1000);
        slider_->resize(450, 30);
        ASSERT_TRUE(slider_->SetBitmapChannel(178, 174));
        ASSERT_TRUE(slider_->SetBitmapThumb(175, 177, 176));
        slider_->SetRange(0, 100);
        moved_ = std::make_unique<QSignalSpy>(slider_.get(), &CBitmapSlider::SliderMoved);
        released_ = std::make_unique<QSignalSpy>(slider_.get(), &CBitmapSlider::SliderReleased);
    }
    QPoint At(int x) const { return QPoint(x, 15); }
    // Position of the last notification of a spy.
    static int LastPosition(const QSignalSpy& spy) { return spy.last().at(1).toInt(); }

    std::unique_ptr<CBitmapSlider> slider_;
    std::unique_ptr<QSignalSpy> moved_;
    std::unique_ptr<QSignalSpy> released_;
};

TEST_F(BitmapSliderTest, ClickOnTheChannelJumpsAndNotifiesAfterTheSliderUpdated) {
    Press(slider_.get(), At(225));
    EXPECT_EQ(slider_->GetPos(), 50);
    // Posted, not sent: nothing arrives before the event loop runs.
    EXPECT_EQ(moved_->count(), 0);
    Pump();
    ASSERT_EQ(moved_->count(), 1);
    EXPECT_EQ(moved_->last().at(0).toInt(), 1000);
    EXPECT_EQ(LastPosition(*moved_), 50);
    Release(slider_.get(), At(225));
    Pump();
    ASSERT_EQ(released_->count(), 1);
    EXPECT_EQ(LastPosition(*released_), 50);
}

TEST_F(BitmapSliderTest, PressOnTheThumbKeepsItUntilTheMouseMoves) {
    slider_->SetPos(50);
    Press(slider_.get(), At(230));  // 5 px right of the centre, inside the thumb
    Pump();
    EXPECT_EQ(slider_->GetPos(), 50);
    EXPECT_EQ(moved_->count(), 0);
    // The grab offset holds: moving 43 px moves the centre 43 px.
    Move(slider_.get(), At(273));
    Pump();
    EXPECT_EQ(slider_->ThumbCentre(), slider_->GetPos() * 434 / 100 + 8);
    EXPECT_EQ(slider_->GetPos(), int((268.0 - 8) / 434 * 100));
    EXPECT_EQ(moved_->count(), 1);
}

TEST_F(BitmapSliderTest, DraggingBeyondTheEndsStopsAtMinimumAndMaximum) {
    slider_->SetPos(50);
    Press(slider_.get(), At(225));
    Move(slider_.get(), At(900));
    Pump();
    EXPECT_EQ(slider_->GetPos(), 100);
    EXPECT_EQ(LastPosition(*moved_), 100);
    Move(slider_.get(), At(-300));
    Pump();
    EXPECT_EQ(LastPosition(*moved_), 0);
    Release(slider_.get(), At(-300));
    Pump();
    EXPECT_EQ(LastPosition(*released_), 0);
    // A drag that does not move the thumb posts nothing.
    const int count = moved_->count();
    Move(slider_.get(), At(-10));
    Pump();
    EXPECT_EQ(moved_->count(), count);
}

TEST_F(BitmapSliderTest, KeysMoveClampAndReportRelease) {
    slider_->SetPos(50);
    Key(slider_.get(), Qt::Key_End);
    Pump();
    ASSERT_EQ(released_->count(), 1);
    EXPECT_EQ(LastPosition(*released_), 100);
    Key(slider_.get(), Qt::Key_Right);
    Key(slider_.get(), Qt::Key_PageUp);
    Key(slider_.get(), Qt::Key_Down);
    Pump();
    EXPECT_EQ(slider_->GetPos(), 81);
    Key(slider_.get(), Qt::Key_Home);
    Key(slider_.get(), Qt::Key_Up);
    Pump();
    EXPECT_EQ(LastPosition(*released_), 0);
    EXPECT_EQ(moved_->count(), 0);
}

TEST_F(BitmapSliderTest, DisabledSliderIgnoresMouseAndKeysAndEndsADrag) {
    Press(slider_.get(), At(300));
    slider_->setEnabled(false);
    EXPECT_FALSE(slider_->IsDragging());
    const int position = slider_->GetPos();
    Move(slider_.get(), At(100));
    Release(slider_.get(), At(100));
    Key(slider_.get(), Qt::Key_End);
    Press(slider_.get(), At(400));
    Pump();
    EXPECT_EQ(slider_->GetPos(), position);
    EXPECT_EQ(released_->count(), 0);
}

TEST_F(BitmapSliderTest, RangeAndPositionStayConsistent) {
    slider_->SetRange(0, 1000);
    slider_->SetPos(5000);
    EXPECT_EQ(slider_->GetPos(), 1000);
    slider_->SetRange(0, 10);
    EXPECT_EQ(slider_->GetPos(), 10);
    slider_->SetPos(-3);
    EXPECT_EQ(slider_->GetPos(), 0);
}

TEST_F(BitmapSliderTest, VerticalSliderRunsTopToBottomOverItsClientArea) {
    CBitmapSlider vertical(nullptr, 7);
    vertical.resize(30, 200);
    vertical.SetVertical(true);
    // Without a channel the client area is the travel; the thumb is 30 high.
    ASSERT_TRUE(vertical.SetBitmapThumb(175, 177, 176));
    EXPECT_EQ(vertical.ThumbCentre(), 15);
    vertical.SetPos(100);
    EXPECT_EQ(vertical.ThumbCentre(), 185);
    QSignalSpy moved(&vertical, &CBitmapSlider::SliderMoved);
    Press(&vertical, QPoint(15, 100));
    Pump();
    EXPECT_EQ(vertical.GetPos(), 50);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.last().at(0).toInt(), 7);
}

TEST_F(BitmapSliderTest, MissingBitmapsAreRefused) {
    CBitmapSlider other;
    EXPECT_FALSE(other.SetBitmapChannel(178, 99999));
    EXPECT_FALSE(other.SetBitmapThumb(175, 177, 99999));
}

TEST_F(BitmapSliderTest, PaintsActiveChannelLeftOfTheThumbAndAKeyedThumb) {
    slider_->SetPos(50);
    const QImage shot = slider_->grab().toImage();
    const QImage active(QString::fromStdString("images/res/174.bmp"));
    const QImage channel(QString::fromStdString("images/res/178.bmp"));
    EXPECT_EQ(shot.pixel(100, 14), active.pixel(100, 14));
    EXPECT_EQ(shot.pixel(350, 14), channel.pixel(350, 14));
    // The thumb's corner colour is transparent: the channel shows through at its corner.
    EXPECT_EQ(shot.pixel(225 - 8, 0), active.pixel(217, 0));
    EXPECT_NE(shot.pixel(225, 14), active.pixel(225, 14));
}

}  // namespace
