#pragma once
// Widget tests run in the program's folder, where the generated artwork lives, and drive the
// controls with synthetic input events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>

class ControlFixture : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(QStringLiteral(ZAVREO_BIN_DIR)));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    static void Mouse(QWidget* w, QEvent::Type type, QPoint at,
                      Qt::MouseButtons held = Qt::LeftButton) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
    static void Press(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseButtonPress, at); }
    static void Move(QWidget* w, QPoint at) { Mouse(w, QEvent::MouseMove, at); }
    static void Release(QWidget* w, QPoint at) {
        Mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton);
    }
    static void Key(QWidget* w, int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
    static void Enter(QWidget* w) {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(w, &event);
    }
    static void Leave(QWidget* w) {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(w, &event);
    }
    // Delivers queued signals.
    static void Pump() { QCoreApplication::processEvents(); }

private:
    QString previous_;
};
