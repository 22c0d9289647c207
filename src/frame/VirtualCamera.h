#pragma once
// What the program, the recorder and the virtual camera program agree on about the virtual
// camera: its name, the loopback node that carries it, and the lock a running copy holds.

#include <string>

namespace zavreo {

// The card label of the program's own loopback device, and the camera's name everywhere else.
constexpr const char* kVirtualCameraName = "Zavreo直播助手";

// The name of the virtual camera program's PipeWire node: stable, so that clients find the camera
// again after a restart.
inline constexpr const char* kPipeWireNodeName = "zavreo-vcam";

// The V4L2 node ("/dev/videoN") whose card name is `card`, or empty.
std::string FindV4l2NodeByCard(const std::string& card);

// "$XDG_RUNTIME_DIR/zavreo-vcam.lock" (or ~/.cache/ZavreoZhuShou/zavreo-vcam.lock without a
// runtime folder).
std::string VcamLockPath();
// Opens the lock file with `flags` (O_RDONLY, or O_RDWR | O_CREAT), never through a link.
int OpenVcamLock(int flags);
// True while some process holds the virtual camera's lock.
bool VcamLockHeld();

// The virtual camera program's exit status when no loopback device exists.
inline constexpr int kVcamExitNoDevice = 3;

}  // namespace zavreo
