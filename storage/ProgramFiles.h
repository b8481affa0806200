#pragma once

#include <QString>

namespace qrn {

// The names of the files the program keeps, and how paths are formed from them.
inline const QString DictionaryFileName = QStringLiteral("KirikoDate.dat");
inline const QString SettingsFileName = QStringLiteral("EditerFontDate.dat");
inline const QString ScratchFileName = QStringLiteral("Kiriko_WaitFile.htm");
inline const QString HelpFolderName = QStringLiteral("Help");
inline const QString HelpIndexFileName = QStringLiteral("Index.html");

// A folder, the platform's separator and a name.
QString joinPath(const QString &folder, const QString &name);

// The preview's scratch file in a work folder.
inline QString scratchFilePath(const QString &workFolder) { return joinPath(workFolder, ScratchFileName); }

// The folder of a path: everything before its last separator, or empty text when it has none.
QString folderOfPath(const QString &path);

} // namespace qrn
