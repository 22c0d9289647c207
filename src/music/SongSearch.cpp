#include "SongSearch.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace zavreo {

namespace {

QString FoldedText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .normalized(QString::NormalizationForm_KC)
        .toCaseFolded();
}

bool Matches(const QStringList& words, const std::string& path, const SongTags* tags) {
    QString fields = FoldedText(PlaylistModel::DisplayName(path));
    if (tags != nullptr) {
        // A separator no folded word holds keeps a word from matching across two fields.
        fields += QChar(u'\n') + FoldedText(tags->title) + QChar(u'\n') + FoldedText(tags->artist);
    }
    return std::all_of(words.begin(), words.end(),
                       [&](const QString& word) { return fields.contains(word); });
}

}  // namespace

std::string SongSearch::Folded(std::string_view text) {
    return FoldedText(text).toStdString();
}

std::optional<SongSearch::Match> SongSearch::Next(const PlaylistModel& model,
                                                  std::string_view query, const TagsOf& tagsOf) {
    const QStringList words =
        FoldedText(query).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return std::nullopt;
    }
    const std::string key = words.join(QChar(u' ')).toStdString();
    if (key != lastQuery_) {
        lastQuery_ = key;
        last_.reset();
    }
    // The lists top to bottom, as their header rows stand.
    std::vector<const PlaylistModel::Categories::value_type*> lists;
    for (const auto& entry : model.categories()) {
        if (entry.first != kStandInListName) {
            lists.push_back(&entry);
        }
    }
    std::sort(lists.begin(), lists.end(), [](const auto* a, const auto* b) {
        return a->second.headerRow < b->second.headerRow;
    });
    std::optional<Match> first;
    bool passedLast = !last_.has_value();
    for (const auto* entry : lists) {
        const std::vector<CatItem>& items = entry->second.items;
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            const Match here{entry->first, i};
            const bool isLast = last_ && here == *last_;
            if (!isLast &&
                Matches(words, items[i].text, tagsOf ? tagsOf(items[i].text) : nullptr)) {
                if (passedLast) {
                    last_ = here;
                    return here;
                }
                if (!first) {
                    first = here;
                }
            }
            passedLast = passedLast || isLast;
        }
    }
    // Past the end (or the last match has gone): from the top again; the last match itself when
    // it is the only one.
    if (!first && last_ && model.Find(last_->list) != nullptr &&
        last_->index < model.SongCount(last_->list)) {
        const std::string& path = model.GetItemText(last_->list, last_->index);
        if (Matches(words, path, tagsOf ? tagsOf(path) : nullptr)) {
            first = last_;
        }
    }
    last_ = first;
    return first;
}

}  // namespace zavreo
