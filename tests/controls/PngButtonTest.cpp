#include <QSignalSpy>

#include "CPngButton.h"
#include "ControlFixture.h"

namespace {

class PngButtonTest : public ControlFixture {
protected:
    // A picture of one colour, or a stack of frames each of its own colour.
    std::string Picture(const char* name, QSize size, std::vector<QColor> frames,
                        bool horizontal = false) {
        QImage image(size, QImage::Format_ARGB32);
        const int count = int(frames.size());
        for (int i = 0; i < count; ++i) {
            const QRect part =
                horizontal
                    ? QRect(i * size.width() / count, 0, size.width() / count, size.height())
                    : QRect(0, i * size.height() / count, size.width(), size.height() / count);
            for (int y = part.top(); y <= part.bottom(); ++y) {
                for (int x = part.left(); x <= part.right(); ++x) {
                    image.setPixel(x, y, frames[i].rgba());
                }
            }
        }
        const QString path = dir_.filePath(QString::fromUtf8(name));
        EXPECT_TRUE(image.save(path));
        return path.toStdString();
    }
    static QRgb CentreColour(CPngButton& button) {
        const QImage shot = button.grab().toImage();
        return shot.pixel(shot.width() / 2, shot.height() / 2);
    }

    QTemporaryDir dir_;
};

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);

TEST_F(PngButtonTest, SizesItselfToItsPictures) {
    CPngButton button;
    button.resize(20, 10);
    const auto a = Picture("a.png", QSize(130, 54), {kRed});
    button.SetImages(a, a, a, 4);
    EXPECT_EQ(button.size(), QSize(130, 54));

    CPngButton sprite;
    sprite.SetSprite(Picture("six.png", QSize(40, 120), std::vector<QColor>(6, kRed)), 6);
    EXPECT_EQ(sprite.size(), QSize(40, 20));
    sprite.SetSprite(Picture("three.png", QSize(90, 20), std::vector<QColor>(3, kRed), true), 3);
    EXPECT_EQ(sprite.size(), QSize(30, 20));
}

TEST_F(PngButtonTest, MissingRestPictureMakesTheButtonEmptyAndDrawsNothing) {
    CPngButton button;
    button.resize(50, 50);
    const auto b = Picture("b.png", QSize(30, 30), {kGreen});
    button.SetImages("no/such/file.png", b, b);
    EXPECT_EQ(button.size(), QSize(0, 0));

    // A missing over picture leaves only that state undrawn.
    CPngButton partial;
    partial.SetImages(Picture("a.png", QSize(30, 30), {kRed}), "no/such/over.png", b);
    const QRgb ground = partial.palette().color(QPalette::Window).rgba();
    EXPECT_EQ(CentreColour(partial), kRed.rgba());
    Enter(&partial);
    EXPECT_EQ(CentreColour(partial), ground);
}

TEST_F(PngButtonTest, ShowsRestOverPressedAndSelectedPictures) {
    CPngButton button;
    button.SetImages(Picture("r.png", QSize(20, 20), {kRed}),
                     Picture("g.png", QSize(20, 20), {kGreen}),
                     Picture("b.png", QSize(20, 20), {kBlue}), 4);
    EXPECT_EQ(CentreColour(button), kRed.rgba());
    Enter(&button);
    EXPECT_EQ(CentreColour(button), kGreen.rgba());
    button.SetSelected(true);
    EXPECT_EQ(CentreColour(button), kBlue.rgba());
    Leave(&button);
    EXPECT_EQ(CentreColour(button), kBlue.rgba());
    button.SetSelected(false);
    EXPECT_EQ(CentreColour(button), kRed.rgba());
}

TEST_F(PngButtonTest, SixFrameSpriteShowsFrameFourWhenSelectedAndHovered) {
    CPngButton button;
    const std::vector<QColor> frames = {Qt::black, kRed, kGreen, Qt::yellow, kBlue, Qt::cyan};
    button.SetSprite(Picture("six.png", QSize(10, 60), frames), 6);
    button.SetSelected(true);
    Enter(&button);
    EXPECT_EQ(button.CurrentFrame().image, 4);
    EXPECT_EQ(CentreColour(button), kBlue.rgba());
}

// A sprite is cut along its length into the frames of its mode: four stacked, three side by side
// or three stacked.
TEST_F(PngButtonTest, SpritesAreCutIntoTheFramesOfTheirMode) {
    CPngButton four;
    four.SetSprite(Picture("four.png", QSize(10, 40), {Qt::black, kRed, kGreen, kBlue}), 2);
    EXPECT_EQ(four.size(), QSize(10, 10));
    four.SetSelected(true);
    EXPECT_EQ(CentreColour(four), kBlue.rgba());
    CPngButton across;
    across.SetSprite(Picture("across.png", QSize(30, 10), {Qt::black, kRed, kGreen}, true), 3);
    EXPECT_EQ(across.size(), QSize(10, 10));
    Press(&across, QPoint(5, 5));
    EXPECT_EQ(CentreColour(across), kGreen.rgba());
    CPngButton stacked;
    stacked.SetSprite(Picture("stacked.png", QSize(10, 30), {Qt::black, kRed, kGreen}), 5);
    EXPECT_EQ(stacked.size(), QSize(10, 10));
    Enter(&stacked);
    EXPECT_EQ(CentreColour(stacked), kRed.rgba());
}

TEST_F(PngButtonTest, DoubleClickGivesTwoClicks) {
    CPngButton button;
    button.SetImages(Picture("r.png", QSize(20, 20), {kRed}), "", "");
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    const QPoint at(10, 10);
    Press(&button, at);
    Release(&button, at);
    Mouse(&button, QEvent::MouseButtonDblClick, at);
    Release(&button, at);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(PngButtonTest, TooltipIsTheTextAtTheFirstSetting) {
    CPngButton button;
    button.setText(QStringLiteral("播放"));
    const auto a = Picture("a.png", QSize(20, 20), {kRed});
    button.SetImages(a, a, a);
    button.setText(QStringLiteral("暂停"));
    button.SetImages(a, a, a);
    EXPECT_EQ(button.toolTip(), QStringLiteral("播放"));
}

}  // namespace
