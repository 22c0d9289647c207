#include "CMervalaDlg.h"

#include "SharedFrameView.h"

CMervalaDlg::CMervalaDlg(QWidget* parent) : QDialog(parent), preview_(new SharedFrameView(this)) {
    setWindowTitle(QStringLiteral("Zavreo"));
    setFixedSize(870, 620);
    setStyleSheet(QStringLiteral("CMervalaDlg { background: rgb(44,44,53); }"));
    preview_->setGeometry(0, 190, 480, 360);
}

void CMervalaDlg::ShowAndRaise() {
    showNormal();
    raise();
    activateWindow();
}
