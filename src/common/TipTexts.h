#pragma once
// Every message the tip shows, as the callers pass them to CXiaoXiTiShi::ShowTip.

namespace TipText {

// Camera panel.
inline constexpr const char* kCameraFormatInvalid =
    "    亲：摄像头采集格式无效哦，请选择其他摄像头";
inline constexpr const char* kCameraNoBestFormat =
    "    亲：摄像头无法采集最佳格式哦，请选择其他摄像头";
inline constexpr const char* kOpenCameraFirst = "    亲：请先打开摄像头";
inline constexpr const char* kSelectPictureFirst = "    亲：请先选择一张图片";
// Capture graph.
inline constexpr const char* kCameraInUse = "    亲：摄像头在别处被使用啦";
inline constexpr const char* kFirstCameraFormatInvalid = "    亲：摄像头采集格式是无效";
inline constexpr const char* kFirstCameraMayLackBestFormat = "    亲：摄像头可能无法采集最佳格式哦";
inline constexpr const char* kNoCamera = "    亲：没有可用的摄像头哦";
inline constexpr const char* kCameraDisconnected = "    亲：摄像头已断开连接，请检查后重新打开";
// The photo and recording dialogs' 打开目录 where no program opens folders; the folder's path
// follows on the next line.
inline constexpr const char* kFolderNotOpened = "    亲：无法打开目录，文件在：";
// Virtual camera and the shared frame.
inline constexpr const char* kVirtualCameraMissing =
    "    亲：预览正常，但其他程序看不到虚拟摄像头。请启动 PipeWire，或运行：sudo modprobe "
    "v4l2loopback card_label=\"Zavreo直播助手\" exclusive_caps=1";
// %1 the wanted block, %2 the program's own (paths in /dev/shm).
inline constexpr const char* kSharedFrameOwnBlock =
    "    亲：共享画面 %1 已被其他用户或程序占用，本程序改用自己的 %2，预览、录像和虚拟摄像头照常";
// %1 the block's path.
inline constexpr const char* kSharedFrameTaken =
    "    亲：共享画面 %1 被其他程序替换了，预览、录像和虚拟摄像头仍用本程序的画面，"
    "直接读取 %1 的程序看到的不是它";
inline constexpr const char* kSharedFrameUnavailable =
    "    亲：无法在 /dev/shm 中建立共享画面，预览、录像和虚拟摄像头没有画面";
// Photo.
inline constexpr const char* kPhotoNeedsCamera = "    亲：需要先打开摄像头哦";
// Playlist panel. The name-taken texts differ in their comma: ASCII from the menu, full-width
// from the Enter key.
inline constexpr const char* kListNameTaken = "    亲：列表名称已经存在,请重新命名";
inline constexpr const char* kListNameTakenOnEnter = "    亲：列表名称已经存在，请重新命名";
inline constexpr const char* kSongInCurrentList = "    亲：该文件已存于当前列表里啦";
inline constexpr const char* kSongInTargetList = "    亲：该文件已存于要添加的列表里啦";
inline constexpr const char* kCannotDeleteDefaultList = "    亲：不能删除默认列表呢";
inline constexpr const char* kCannotRenameDefaultList = "    亲：默认列表不可以重命名哦";
// Start: user files that could not be read whole; the kept copies' paths follow, one a line.
inline constexpr const char* kFilesKeptUnreadable =
    "    亲：有文件无法完整读取，为免丢失，原文件已另存为：";
// Start: such files of which no copy could be made; their paths follow, one a line.
inline constexpr const char* kFilesNotKept =
    "    亲：有文件无法完整读取，也无法另存一份，本次运行不会覆盖它们：";
// Exit: the files that could not be saved follow, one a line.
inline constexpr const char* kFilesNotSaved =
    "    亲：以下文件无法保存（文件夹不可写？），本次的更改没有存下：";
// Music panel search.
inline constexpr const char* kSongNotFound = "亲， 你要找的歌曲没有找到呢";

}  // namespace TipText
