#pragma once
// Where the file choosers open: the folder last used in this run for that kind of file, at first
// the user's own folder for it (Pictures, Music, home). Interface thread only.

#include <QString>
#include <QStringList>

namespace ChooserFolder {

enum class Kind { Pictures, Music };

// An existing folder to open the chooser in.
QString StartFor(Kind kind);
// Records the chooser's answer: the chosen files' folder, or the chosen folder itself. An empty
// answer (cancelled) changes nothing.
void RememberFiles(Kind kind, const QStringList& chosenFiles);
void RememberFolder(Kind kind, const QString& chosenFolder);

}  // namespace ChooserFolder
