#pragma once
// A page of five thumbnails whose choices stay on until closed: the filter presets and the
// decorations. A thumbnail click highlights it (the last click only, not the on state) and turns
// its entry on; each entry that is on has a tag below the grid, in the order they were turned on,
// and a click in a tag's right quarter turns it off. The settings group holds "1" to "5", 1 for
// each entry that is on. Interface thread only.

#include <QWidget>
#include <array>
#include <optional>

#include "CPngButton.h"
#include "EffectsContext.h"
#include "SettingsStore.h"
#include "TagList.h"

class QLabel;

class CTaggedGridPage : public QWidget, public zavreo::ISettingsGroup {
    Q_OBJECT
public:
    static constexpr int kEntries = 5;

    struct Entry {
        int thumbnailId;
        int labelId;
        const char* name;
        const char* picture;
        const char* hoverPicture;
    };
    struct Template {
        std::array<Entry, kEntries> entries;
        std::array<int, kEntries> tagIds;
        int headerId;
        const char* background;
    };

    // Entry `number` (1 to 5) clicked.
    void OnThumbnail(int number);
    // Tag `tag` (0-based) clicked with the cursor at `cursor` (global coordinates).
    void OnTag(int tag, QPoint cursor);

    void FillSettings(Json::Value& group) const override;
    void ApplySettings(const Json::Value& group) override;

    const zavreo::effects::TagList& Active() const { return active_; }
    CPngButton& Thumbnail(int number) { return *thumbnails_[number - 1]; }
    QLabel& NameLabel(int number) { return *labels_[number - 1]; }
    CPngButton& Tag(int tag) { return *tags_[tag]; }
    // The highlighted entry, or 0.
    int Highlighted() const;

protected:
    CTaggedGridPage(QWidget* parent, const zavreo::effects::EffectsContext& context,
                    const Template& layout);

    // Entry `number` was just added to Active().
    virtual void TurnOn(int number) = 0;
    // Entry `number` is about to leave Active(), which still holds it.
    virtual void TurnOff(int number) = 0;

    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    zavreo::effects::EffectsContext context_;

private:
    void SetHighlight(int number);
    void ShowTags();

    const Template& layout_;
    zavreo::effects::TagList active_;
    std::array<CPngButton*, kEntries> thumbnails_{};
    std::array<QLabel*, kEntries> labels_{};
    std::array<CPngButton*, kEntries> tags_{};
    CPngButton header_;
    QRect promoIcon_;
    // Where the mouse let go of a tag, for the close-area test of the click that follows.
    std::optional<QPoint> tagRelease_;
};
