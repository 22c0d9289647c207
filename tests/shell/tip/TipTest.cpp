#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <thread>

#include "CPngButton.h"
#include "CXiaoXiTiShi.h"

namespace {

class TipTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = QDir::currentPath();
        QDir::setCurrent(QStringLiteral(ZAVREO_BIN_DIR));
        owner_ = std::make_unique<QWidget>();
        owner_->setGeometry(100, 100, 870, 620);
        tip_ = new CXiaoXiTiShi(owner_.get());
    }
    void TearDown() override {
        owner_.reset();
        QDir::setCurrent(previous_);
    }
    void Click(QWidget* w) {
        const QPointF at(w->width() / 2, w->height() / 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }

    QString previous_;
    std::unique_ptr<QWidget> owner_;
    CXiaoXiTiShi* tip_ = nullptr;
};

TEST_F(TipTest, SecondTipReplacesTheTextOfTheOneWindow) {
    tip_->ShowTip(TipText::kOpenCameraFirst);
    tip_->ShowTip(TipText::kNoCamera);
    EXPECT_TRUE(tip_->isVisible());
    EXPECT_EQ(tip_->Text(), QString::fromUtf8(TipText::kNoCamera));
    int tips = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        tips += qobject_cast<CXiaoXiTiShi*>(w) && w->isVisible();
    }
    EXPECT_EQ(tips, 1);
}

TEST_F(TipTest, ANewMessageBringsATipThatIsUpToTheFront) {
    tip_->ShowTip(TipText::kOpenCameraFirst);
    QWidget pad;
    pad.show();
    pad.activateWindow();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &pad);
    tip_->ShowTip(TipText::kNoCamera);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), tip_);
}

TEST_F(TipTest, OkEscapeAndTheWindowManagersCloseEachCloseItAndItComesBack) {
    tip_->ShowTip(TipText::kSongNotFound);
    ASSERT_GT(tip_->OkButton()->width(), 0);
    Click(tip_->OkButton());
    EXPECT_FALSE(tip_->isVisible());

    tip_->ShowTip(TipText::kCameraInUse);
    QTest::keyClick(tip_, Qt::Key_Escape);
    EXPECT_FALSE(tip_->isVisible());

    // A tip that refused the close stopped the quit's close-all-windows pass part-way.
    tip_->ShowTip(TipText::kNoCamera);
    QCloseEvent close;
    QApplication::sendEvent(tip_, &close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_FALSE(tip_->isVisible());

    tip_->ShowTip(TipText::kPhotoNeedsCamera);
    EXPECT_TRUE(tip_->isVisible());
    EXPECT_EQ(tip_->Text(), QString::fromUtf8(TipText::kPhotoNeedsCamera));
}

TEST_F(TipTest, TipFromAWorkerThreadIsShownOnTheInterfaceThread) {
    std::thread worker([this] { tip_->ShowTip(TipText::kSongInCurrentList); });
    worker.join();
    // Nothing touched the window from the worker.
    EXPECT_FALSE(tip_->isVisible());
    QApplication::processEvents();
    EXPECT_TRUE(tip_->isVisible());
    EXPECT_EQ(tip_->Text(), QString::fromUtf8(TipText::kSongInCurrentList));
}

TEST_F(TipTest, CentredOnItsOwnerAndDraggedByItsBody) {
    tip_->ShowTip(TipText::kPhotoNeedsCamera);
    EXPECT_EQ(tip_->size(), QSize(273, 206));
    EXPECT_LE((tip_->geometry().center() - owner_->frameGeometry().center()).manhattanLength(), 2);
    const QPoint start = tip_->pos();
    const QPointF at(10, 10);
    const QPointF global = QPointF(start) + at;
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(tip_, &press);
    QMouseEvent move(QEvent::MouseMove, at, global + QPointF(30, 40), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(tip_, &move);
    EXPECT_EQ(tip_->pos(), start + QPoint(30, 40));
}

TEST_F(TipTest, ALongTextGrowsTheTipWithinTheScreenAndScrollsOnlyBeyondIt) {
    QPlainTextEdit* text = tip_->findChild<QPlainTextEdit*>(QStringLiteral("tipText"));
    ASSERT_NE(text, nullptr);
    tip_->ShowTip(TipText::kOpenCameraFirst);
    EXPECT_EQ(tip_->size(), QSize(273, 206));
    EXPECT_EQ(text->verticalScrollBar()->maximum(), 0);
    // A one-line text sits in the middle of the picture's text area (y 81 to 140).
    EXPECT_LE(std::abs(text->geometry().center().y() - 110), 2);

    const QString paragraph = QString::fromUtf8(TipText::kSongNotFound).repeated(6);
    tip_->ShowTip(paragraph);
    QApplication::processEvents();
    EXPECT_GT(tip_->height(), 206);
    EXPECT_EQ(tip_->width(), 273);
    EXPECT_EQ(text->verticalScrollBar()->maximum(), 0) << "the whole text is in view";
    EXPECT_LT(tip_->OkButton()->geometry().top() - text->geometry().bottom(), 30);
    EXPECT_LE(tip_->OkButton()->geometry().bottom(), tip_->height());

    const QRect screen = tip_->screen()->availableGeometry();
    tip_->ShowTip(paragraph.repeated(40));
    QApplication::processEvents();
    EXPECT_LE(tip_->height(), screen.height());
    EXPECT_TRUE(screen.contains(tip_->frameGeometry()));
    EXPECT_GT(text->verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(text->verticalScrollBar()->styleSheet().contains(QStringLiteral("rgb(44,44,53)")));

    tip_->ShowTip(TipText::kNoCamera);
    EXPECT_EQ(tip_->size(), QSize(273, 206)) << "a short text brings the usual size back";
}

TEST_F(TipTest, ALongMessageIsReadableWholeAndAShortOneGetsTheOwnSizeBack) {
    tip_->ShowTip(TipText::kNoCamera);
    const QSize own = tip_->size();
    tip_->ShowTip(TipText::kVirtualCameraMissing);
    QApplication::processEvents();
    auto* text = tip_->findChild<QPlainTextEdit*>(QStringLiteral("tipText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->verticalScrollBar()->maximum(), 0) << "the text needs scrolling";
    EXPECT_GT(tip_->height(), own.height());
    EXPECT_EQ(tip_->width(), own.width());
    // The OK button stays below the text, inside the tip.
    EXPECT_GE(tip_->OkButton()->y(), text->geometry().bottom());
    EXPECT_LE(tip_->OkButton()->geometry().bottom(), tip_->height());
    tip_->ShowTip(TipText::kCameraInUse);
    EXPECT_EQ(tip_->size(), own);
}

TEST(TipTexts, MessagesKeepTheirLeadingSpacesAndCommas) {
    EXPECT_EQ(std::string(TipText::kOpenCameraFirst), "    亲：请先打开摄像头");
    EXPECT_NE(std::string(TipText::kListNameTaken), TipText::kListNameTakenOnEnter);
    EXPECT_EQ(std::string(TipText::kSongNotFound).rfind("亲", 0), 0u);
}

}  // namespace
