#pragma once
// Where the program keeps the user's files. The configuration folder (config.lst, music.lst,
// PicPath.lst, ZavreoConfig.dat) lies in the user's configuration folder, the lyrics, photos and
// recordings in the documents folder, each below "ZavreoZhuShou/". Every call creates the folder
// with all its parents; a folder that cannot be created is not reported (opening a file in it
// fails instead). The photo and video folders, and "ZavreoZhuShou/" above them, are the user's
// alone (0700): made so, and narrowed so when an earlier run made them readable by others.

#include <filesystem>

namespace zavreo {

std::filesystem::path ConfigFolder();
std::filesystem::path LyricsFolder();
std::filesystem::path PicFolder();
std::filesystem::path VideoFolder();

}  // namespace zavreo
