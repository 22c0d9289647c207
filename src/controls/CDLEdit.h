#pragma once
// The edit box with a prompt: "请输入文本" stands in red in the box while it is empty and
// unfocused. The prompt is only painted, so text() of an untouched box is empty.
// User-interface thread only.

#include <QLineEdit>

class CDLEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr const char* kPrompt = "请输入文本";

    explicit CDLEdit(QWidget* parent = nullptr);

    bool IsShowingPrompt() const { return text().isEmpty() && !hasFocus(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hovered_ = false;
};
