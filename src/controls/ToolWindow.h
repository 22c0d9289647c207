#pragma once
// The program's floating tool windows (the desktop lyrics, their bar, the lyric search, the sound
// pad) stay out of the task bar and the pager, where only the main window belongs. Qt gives no
// flag for it on X11, so each time such a window is shown, before it is mapped, it carries the
// window manager hints _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER (window managers
// drop the state of a window that was hidden), and once more after it is mapped. Other platforms
// have no such hints: nothing is done there. Interface thread only.

class QWidget;

namespace ToolWindow {

// `window` is a top-level widget; from now on it is kept out of the task bar and the pager.
void KeepOutOfTaskbar(QWidget& window);

}  // namespace ToolWindow
