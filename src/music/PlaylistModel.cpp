#include "PlaylistModel.h"

#include <ctime>
#include <filesystem>

namespace zavreo {

namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

}  // namespace

PlaylistModel::PlaylistModel(std::function<void()> stopPlayer)
    : stopPlayer_(std::move(stopPlayer)),
      randomState_(static_cast<uint32_t>(std::time(nullptr)) | 1u) {}

void PlaylistModel::Changed() const {
    if (changed) {
        changed();
    }
}

const CatCategory* PlaylistModel::Find(const std::string& list) const {
    const auto found = categories_.find(list);
    return found == categories_.end() ? nullptr : &found->second;
}

CatCategory* PlaylistModel::Find(const std::string& list) {
    const auto found = categories_.find(list);
    return found == categories_.end() ? nullptr : &found->second;
}

int PlaylistModel::SongCount(const std::string& list) const {
    const CatCategory* category = Find(list);
    return category ? static_cast<int>(category->items.size()) : 0;
}

void PlaylistModel::ShiftHeaders(int after, int by) {
    for (auto& [name, category] : categories_) {
        if (category.headerRow > after) {
            category.headerRow += by;
        }
    }
}

void PlaylistModel::InsertRows(int at, Entry* entry, int count) {
    rows_.insert(rows_.begin() + at, static_cast<size_t>(count), entry);
}

void PlaylistModel::DeleteRows(int at, int count) {
    rows_.erase(rows_.begin() + at, rows_.begin() + at + count);
}

int32_t PlaylistModel::AddCategory(const std::string& name) {
    if (name.empty() || categories_.count(name) != 0) {
        return kResultInvalidArg;
    }
    auto [it, added] = categories_.emplace(name, CatCategory{});
    it->second.headerRow = RowCount();
    rows_.push_back(&*it);
    Changed();
    return kResultOk;
}

void PlaylistModel::DropMarkersOf(const std::string& list) {
    if (playing_.set && playing_.list == list) {
        playing_ = {};
        if (stopPlayer_) {
            stopPlayer_();
        }
    }
    if (selected_.set && selected_.list == list) {
        selected_ = {};
    }
}

int32_t PlaylistModel::RemoveCategory(const std::string& name) {
    const auto found = categories_.find(name);
    if (found == categories_.end()) {
        return kResultInvalidArg;
    }
    CatCategory& category = found->second;
    const int shown = 1 + (category.isOpen ? static_cast<int>(category.items.size()) : 0);
    const int header = category.headerRow;
    DeleteRows(header, shown);
    ShiftHeaders(header, -shown);
    DropMarkersOf(name);
    categories_.erase(found);
    Changed();
    return kResultOk;
}

void PlaylistModel::ClearCategory(const std::string& name) {
    CatCategory* category = Find(name);
    if (category == nullptr) {
        return;
    }
    SetCategoryOpen(name, false);
    category->items.clear();
    DropMarkersOf(name);
    Changed();
}

int32_t PlaylistModel::RenameCategory(const std::string& oldName, const std::string& newName) {
    if (categories_.count(oldName) == 0 || newName.empty() || categories_.count(newName) != 0) {
        return kResultInvalidArg;
    }
    auto node = categories_.extract(oldName);
    node.key() = newName;
    categories_.insert(std::move(node));
    CatCategory& category = categories_.at(newName);
    // The rows are built again under the header with the open state turned over.
    SetCategoryOpen(newName, !category.isOpen);
    m_nCurrentRow = category.headerRow;
    if (playing_.set && playing_.list == oldName) {
        playing_.list = newName;
        SetItemState(newName, playing_.index, ItemPlaying);
    }
    if (selected_.set && selected_.list == oldName) {
        selected_.list = newName;
        SetItemState(newName, selected_.index, ItemSelected);
    }
    Changed();
    return kResultOk;
}

int PlaylistModel::AddItem(const std::string& list, const std::string& path) {
    if (categories_.count(list) == 0 && AddCategory(list) != kResultOk) {
        return -1;
    }
    const auto it = categories_.find(list);
    CatCategory& category = it->second;
    category.items.push_back({path, ItemNormal});
    const int index = static_cast<int>(category.items.size()) - 1;
    if (category.isOpen) {
        const int at = category.headerRow + 1 + index;
        InsertRows(at, &*it, 1);
        ShiftHeaders(category.headerRow, 1);
    }
    Changed();
    return index;
}

void PlaylistModel::ForgetSong(const std::string& list, int index) {
    for (SongMarker* marker : {&playing_, &selected_}) {
        if (!marker->set || marker->list != list) {
            continue;
        }
        if (marker->index == index) {
            *marker = {};
        } else if (marker->index > index) {
            --marker->index;
        }
    }
}

int32_t PlaylistModel::RemoveItem(const std::string& list, int index) {
    CatCategory* category = Find(list);
    if (category == nullptr || index < 0 || index >= static_cast<int>(category->items.size())) {
        return kResultInvalidArg;
    }
    if (category->isOpen) {
        DeleteRows(category->headerRow + 1 + index, 1);
        ShiftHeaders(category->headerRow, -1);
    }
    category->items.erase(category->items.begin() + index);
    ForgetSong(list, index);
    Changed();
    return kResultOk;
}

int32_t PlaylistModel::RemoveRow(int row) {
    if (row < 0 || row >= RowCount()) {
        return kResultInvalidArg;
    }
    const RowContent content = Row(row);
    if (content.list == nullptr) {
        return kResultFail;
    }
    const std::string list = *content.list;
    return content.song < 0 ? RemoveCategory(list) : RemoveItem(list, content.song);
}

int32_t PlaylistModel::SetCategoryOpen(const std::string& list, bool open) {
    const auto it = categories_.find(list);
    if (it == categories_.end()) {
        return kResultInvalidArg;
    }
    CatCategory& category = it->second;
    if (category.isOpen == open) {
        return kResultOk;
    }
    category.isOpen = open;
    const int count = static_cast<int>(category.items.size());
    if (open) {
        InsertRows(category.headerRow + 1, &*it, count);
        ShiftHeaders(category.headerRow, count);
    } else {
        DeleteRows(category.headerRow + 1, count);
        ShiftHeaders(category.headerRow, -count);
    }
    Changed();
    return kResultOk;
}

bool PlaylistModel::ContainsPath(const std::string& list, const std::string& path) const {
    const CatCategory* category = Find(list);
    if (category == nullptr) {
        return false;
    }
    for (const CatItem& item : category->items) {
        if (item.text == path) {
            return true;
        }
    }
    return false;
}

std::string PlaylistModel::GetItemText(const std::string& list, int index) const {
    const CatCategory* category = Find(list);
    if (category == nullptr || index < 0 || index >= static_cast<int>(category->items.size())) {
        return "err";
    }
    return category->items[index].text;
}

int32_t PlaylistModel::GetItemState(const std::string& list, int index) const {
    const CatCategory* category = Find(list);
    if (category == nullptr) {
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(category->items.size())) {
        return kResultInvalidArg;
    }
    return category->items[index].state;
}

int32_t PlaylistModel::SetItemState(const std::string& list, int index, int state) {
    CatCategory* category = Find(list);
    if (category == nullptr || index < 0 || index >= static_cast<int>(category->items.size())) {
        return kResultInvalidArg;
    }
    category->items[index].state = state;
    if (m_bPlaylistMode) {
        Changed();
    }
    return kResultOk;
}

PlaylistModel::RowContent PlaylistModel::Row(int row) const {
    if (row < 0 || row >= RowCount()) {
        return {};
    }
    const Entry* entry = rows_[row];
    return {&entry->first, &entry->second,
            row == entry->second.headerRow ? -1 : row - entry->second.headerRow - 1};
}

std::string PlaylistModel::CategoryAtRow(int row) const {
    const RowContent content = Row(row);
    return content.list ? *content.list : std::string();
}

void PlaylistModel::MarkPlaying(int index, const std::string& path, const std::string& list) {
    if (playing_.set) {
        if (CatCategory* category = Find(playing_.list)) {
            for (CatItem& item : category->items) {
                if (item.state == ItemPlaying) {
                    item.state = ItemNormal;
                }
            }
        }
    }
    playing_ = {list, path, index, true};
    Changed();
}

void PlaylistModel::MarkSelected(int index, const std::string& path, const std::string& list) {
    if (selected_.set) {
        if (CatCategory* category = Find(selected_.list)) {
            for (CatItem& item : category->items) {
                if (item.state == ItemSelected) {
                    item.state = ItemNormal;
                    break;
                }
            }
        }
    }
    selected_ = {list, path, index, true};
    Changed();
}

int PlaylistModel::FirstExisting(const std::string& list, int start, int step) const {
    const CatCategory* category = Find(list);
    if (category == nullptr || category->items.empty()) {
        return -1;
    }
    const int count = static_cast<int>(category->items.size());
    int index = ((start % count) + count) % count;
    for (int tried = 0; tried < count; ++tried) {
        if (FileExists(category->items[index].text)) {
            return index;
        }
        index = ((index + step) % count + count) % count;
    }
    return -1;
}

int PlaylistModel::RandomIndex() {
    const int count = SongCount(playing_.list);
    if (count <= 1) {
        return count - 1;
    }
    // A xorshift step: no global generator state, and never the playing song.
    randomState_ ^= randomState_ << 13;
    randomState_ ^= randomState_ >> 17;
    randomState_ ^= randomState_ << 5;
    const bool avoid = playing_.index >= 0 && playing_.index < count;
    int index = static_cast<int>(randomState_ % static_cast<uint32_t>(avoid ? count - 1 : count));
    if (avoid && index >= playing_.index) {
        ++index;
    }
    return index;
}

std::string PlaylistModel::DisplayName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

std::string PlaylistModel::FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int ListMenuIds::Register(const std::string& name) {
    const int id = next_++;
    ids_[id] = name;
    return id;
}

void ListMenuIds::Remove(const std::string& name) {
    std::erase_if(ids_, [&](const auto& entry) { return entry.second == name; });
}

void ListMenuIds::Rename(const std::string& oldName, const std::string& newName) {
    for (auto& [id, name] : ids_) {
        if (name == oldName) {
            name = newName;
        }
    }
}

std::string ListMenuIds::NameOf(int id) const {
    const auto found = ids_.find(id);
    return found == ids_.end() ? std::string() : found->second;
}

}  // namespace zavreo
