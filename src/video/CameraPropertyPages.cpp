#include "CameraPropertyPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QSlider>

#include "CCameraGraph.h"
#include "V4l2Controls.h"

CameraPropertyPages::CameraPropertyPages(const std::string& devicePath, QWidget* parent)
    : QDialog(parent), controls_(std::make_unique<zavreo::V4l2Controls>(devicePath)) {
    setWindowTitle(QStringLiteral("摄像头属性"));
    move(30, 30);
    auto* layout = new QFormLayout(this);
    for (const auto& control : controls_->List()) {
        const QString label = QString::fromStdString(control.name);
        const uint32_t id = control.id;
        if (control.boolean) {
            auto* box = new QCheckBox(this);
            box->setChecked(control.value != 0);
            connect(box, &QCheckBox::toggled, this,
                    [this, id](bool on) { controls_->Set(id, on ? 1 : 0); });
            layout->addRow(label, box);
        } else if (!control.choices.empty()) {
            auto* list = new QComboBox(this);
            for (const auto& [value, name] : control.choices) {
                list->addItem(QString::fromStdString(name), value);
                if (value == control.value) {
                    list->setCurrentIndex(list->count() - 1);
                }
            }
            connect(list, &QComboBox::currentIndexChanged, this, [this, id, list](int index) {
                controls_->Set(id, list->itemData(index).toInt());
            });
            layout->addRow(label, list);
        } else {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setRange(control.minimum, control.maximum);
            slider->setSingleStep(control.step);
            slider->setValue(control.value);
            slider->setMinimumWidth(240);
            connect(slider, &QSlider::valueChanged, this,
                    [this, id](int value) { controls_->Set(id, value); });
            layout->addRow(label, slider);
        }
        ++count_;
    }
}

CameraPropertyPages::~CameraPropertyPages() = default;

void CameraPropertyPages::ShowPropertyPages(const zavreo::CCameraGraph& graph, QWidget* parent) {
    CameraPropertyPages pages(graph.SourcePath(), parent);
    if (pages.ControlCount() == 0) {
        QMessageBox::information(parent, pages.windowTitle(), QString::fromUtf8(kNoControlsText));
        return;
    }
    pages.exec();
}
