#include "CSpecialLyric.h"

#include <QPainter>

#include "EffectsPage.h"
#include "JsonLine.h"
#include "SubtitleFonts.h"

using namespace zavreo::effects;

namespace {

constexpr char kSwitchOff[] = "images/right/Special/specialeffect_notopensubtitles_49.png";
constexpr char kSwitchOn[] = "images/right/Special/specialeffect_opensubtitles_49.png";
constexpr char kBackground[] = "images/right/Special/background_1.png";
constexpr char kDefaultText[] = "欢迎使用Zavreo直播助手";
constexpr QColor kStaticText(115, 116, 123);
constexpr QColor kFrame(96, 96, 96);

template <size_t N>
void Fill(CBitComboBox& list, const std::array<const char*, N>& items) {
    for (const char* item : items) {
        list.addItem(QString::fromUtf8(item));
    }
}

// A saved index selects its item; one outside the list leaves the list without selection.
void Select(CBitComboBox& list, int index) {
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}

}  // namespace

CSpecialLyric::CSpecialLyric(QWidget* parent, const EffectsContext& context)
    : QWidget(parent),
      context_(context),
      switch_(this),
      text_(this),
      font_(this),
      size_(this),
      position_(this),
      direction_(this),
      transparency_(this),
      unused_(this),
      textColor_(this, IDC_TEXT_COLOR),
      backColor_(this, IDC_BACK_COLOR) {
    switch_.SetImages(kSwitchOff, kSwitchOff, kSwitchOn, 4);
    switch_.move(UnitsAt(10, 8));
    connect(&switch_, &CPngButton::clicked, this, &CSpecialLyric::OnSwitch);
    MakeStatic(this, QStringLiteral("开启字幕"), Units(48, 11, 60, 12), kStaticText);

    const struct {
        const char* text;
        int top;
    } labels[] = {{"字幕显示：", 32},  {"字体：", 96},      {"字体大小：", 116},
                  {"显示位置：", 136}, {"滚动方向：", 156}, {"字体颜色：", 176},
                  {"背景颜色：", 196}, {"背景透明：", 216}};
    for (const auto& label : labels) {
        MakeStatic(this, QString::fromUtf8(label.text), Units(10, label.top, 60, 12), kStaticText);
    }
    text_.setGeometry(Units(10, 46, 172, 42));
    text_.setFont(LabelFont());
    text_.setFrameStyle(QFrame::NoFrame);
    QPalette palette = text_.palette();
    palette.setColor(QPalette::Text, kStaticText);
    palette.setColor(QPalette::Base, QColor(44, 44, 53));
    text_.setPalette(palette);

    const struct {
        CBitComboBox* list;
        int id;
        int top;
    } lists[] = {{&font_, IDC_FONT, 94},
                 {&size_, IDC_SIZE, 114},
                 {&position_, IDC_POSITION, 134},
                 {&direction_, IDC_DIRECTION, 154},
                 {&transparency_, IDC_TRANSPARENCY, 214}};
    for (const auto& entry : lists) {
        entry.list->setGeometry(Units(70, entry.top, 112, 14));
        // Only the user's choice counts: selecting from the settings must not send anything.
        connect(entry.list, &QComboBox::activated, this,
                [this, id = entry.id] { OnListChosen(id); });
    }
    textColor_.setGeometry(Units(70, 174, 112, 14));
    backColor_.setGeometry(Units(70, 194, 112, 14));
    unused_.hide();
    unused_.setEnabled(false);

    Fill(font_, kFontNames);
    Fill(size_, kFontSizes);
    Fill(position_, kPositionNames);
    Fill(direction_, kDirectionNames);
    Fill(transparency_, kTransparencyNames);
    font_.setCurrentIndex(1);
    size_.setCurrentIndex(2);
    position_.setCurrentIndex(2);
    direction_.setCurrentIndex(2);
    transparency_.setCurrentIndex(1);
    text_.setPlainText(QString::fromUtf8(kDefaultText));
    connect(&text_, &QPlainTextEdit::textChanged, this, &CSpecialLyric::OnTextChanged);
    alpha_ = "7F";
    textColor_.SetChangeCallback([this](unsigned value) { OnTextColor(value); });
    backColor_.SetChangeCallback([this](unsigned value) { OnBackColor(value); });
    textColor_.SetColor(kDefaultTextColor);
    backColor_.SetColor(kDefaultBackColor);
}

CBitComboBox& CSpecialLyric::List(int controlId) {
    switch (controlId) {
        case IDC_FONT:
            return font_;
        case IDC_SIZE:
            return size_;
        case IDC_POSITION:
            return position_;
        case IDC_DIRECTION:
            return direction_;
        case IDC_TRANSPARENCY:
            return transparency_;
        default:
            return unused_;
    }
}

void CSpecialLyric::SendModify() {
    context_.callback.ConfigureEffect(zavreo::kEffectModify, zavreo::kEffectText,
                                      context_.textParams);
}

void CSpecialLyric::OnTextColor(unsigned value) {
    textColorValue_ = value;
    textColorHex_ = FormatColorHex(value);
    context_.textParams["color"] = textColorHex_ + "FF";
    if (on_) {
        SendModify();
    }
}

void CSpecialLyric::OnBackColor(unsigned value) {
    backColorValue_ = value;
    backColorHex_ = FormatColorHex(value);
    context_.textParams["back_color"] = backColorHex_ + alpha_;
    if (on_) {
        SendModify();
    }
}

void CSpecialLyric::StoreListKeys(int controlId) {
    ParamMap& params = context_.textParams;
    const int index = List(controlId).currentIndex();
    auto store = [&](const char* key, const std::optional<std::string>& value) {
        if (value) {
            params[key] = *value;
        }
    };
    switch (controlId) {
        case IDC_FONT:
            if (index >= 0 && index < static_cast<int>(kFontNames.size())) {
                params["font_file"] = SubtitleFontFile(index);
            }
            break;
        case IDC_SIZE:
            store("font_size", FontSizeAt(index));
            break;
        case IDC_POSITION:
            params["pos_x"] = "0";
            store("pos_y", PosYAt(index));
            break;
        case IDC_DIRECTION:
            store("speed", SpeedAt(index));
            break;
        case IDC_TRANSPARENCY:
            if (const auto alpha = AlphaAt(index)) {
                alpha_ = *alpha;
            }
            break;
        default:
            break;
    }
}

void CSpecialLyric::OnSwitch() {
    ParamMap& params = context_.textParams;
    if (on_) {
        context_.callback.ConfigureEffect(zavreo::kEffectRemove, zavreo::kEffectText, params);
        on_ = false;
        switch_.SetSelected(false);
        return;
    }
    params["text"] = text_.toPlainText().toStdString();
    for (int id : {IDC_FONT, IDC_SIZE, IDC_POSITION, IDC_DIRECTION, IDC_TRANSPARENCY}) {
        StoreListKeys(id);
    }
    // Still off, so neither sends anything.
    OnTextColor(textColor_.GetColor());
    OnBackColor(backColor_.GetColor());
    params["scroll"] = "true";
    params["showback"] = "true";
    params["random_color"] = "false";
    context_.callback.ConfigureEffect(zavreo::kEffectAdd, zavreo::kEffectText, params);
    // From here on the map collects what changes, and each modify sends that.
    params.clear();
    on_ = true;
    switch_.SetSelected(true);
}

void CSpecialLyric::OnListChosen(int controlId) {
    if (!on_) {
        return;
    }
    StoreListKeys(controlId);
    if (controlId == IDC_TRANSPARENCY) {
        OnBackColor(backColorValue_);
    } else {
        SendModify();
    }
}

void CSpecialLyric::OnTextChanged() {
    const QString text = text_.toPlainText();
    if (text.size() > kMaxTextUnits) {
        const int keep =
            text[kMaxTextUnits - 1].isHighSurrogate() ? kMaxTextUnits - 1 : kMaxTextUnits;
        // Comes back here with the text cut.
        text_.setPlainText(text.left(keep));
        text_.moveCursor(QTextCursor::End);
        return;
    }
    if (!on_) {
        return;
    }
    context_.textParams["text"] = text_.toPlainText().toStdString();
    SendModify();
}

void CSpecialLyric::FillSettings(Json::Value& group) const {
    group["isChose"] = on_ ? 1 : 0;
    group["text"] = text_.toPlainText().toStdString();
    group["font"] = font_.currentIndex();
    group["size"] = size_.currentIndex();
    group["pos"] = position_.currentIndex();
    group["direction"] = direction_.currentIndex();
    group["bkdegree"] = transparency_.currentIndex();
    group["color"] = static_cast<int>(textColorValue_);
    group["bkcolor"] = static_cast<int>(backColorValue_);
}

void CSpecialLyric::ApplySettings(const Json::Value& group) {
    text_.setPlainText(QString::fromStdString(zavreo::JsonText(group, "text")));
    Select(font_, zavreo::JsonInt(group, "font"));
    Select(size_, zavreo::JsonInt(group, "size"));
    Select(position_, zavreo::JsonInt(group, "pos"));
    Select(direction_, zavreo::JsonInt(group, "direction"));
    // A colour value has 24 bits; whatever else a hand-edited file holds is dropped.
    textColor_.SetColor(static_cast<unsigned>(zavreo::JsonInt(group, "color")) & kColorMask);
    backColor_.SetColor(static_cast<unsigned>(zavreo::JsonInt(group, "bkcolor")) & kColorMask);
    Select(transparency_, zavreo::JsonInt(group, "bkdegree"));
    on_ = false;
    switch_.SetSelected(false);
    if (zavreo::JsonInt(group, "isChose") == 1) {
        OnSwitch();
    }
}

void CSpecialLyric::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintPicture(painter, kBackground, rect());
    painter.setPen(kFrame);
    for (const QWidget* framed :
         std::initializer_list<const QWidget*>{&text_, &font_, &size_, &position_, &direction_,
                                               &transparency_, &textColor_, &backColor_}) {
        painter.drawRect(framed->geometry().adjusted(-1, -1, 0, 0));
    }
}
