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

// Where the program's files are. The program folder holds the program, the manual and the
// delivered data files; the data folder is where the dictionary and the settings are read and
// written, and a new document's work folder: the program folder itself when it can be written,
// the user's data folder otherwise (a system-wide install). The recovery folder keeps copies of
// unsaved documents; without one, none are kept.
struct ProgramFolders {
    QString program;
    QString data;
    QString recovery;
    // The user's own folder (recent files, view settings); the data folder when none is given.
    QString user;

    ProgramFolders(const QString &programAndData) : program(programAndData), data(programAndData), user(programAndData) {} // NOLINT
    ProgramFolders(QString programFolder, QString dataFolder, QString recoveryFolder = {}, QString userFolder = {})
        : program(std::move(programFolder)), data(std::move(dataFolder)), recovery(std::move(recoveryFolder)),
          user(userFolder.isEmpty() ? data : std::move(userFolder))
    {
    }
};

// True when a file can be created in the folder: it is tried.
bool folderIsWritable(const QString &folder);

// The data folder for a program folder: the program folder when `programFolderWritable`,
// otherwise `userFolder`, created when missing and given a copy of each data file of the program
// folder that it does not hold yet (same names, same bytes). The recovery folder lies below the
// user folder in both cases.
ProgramFolders chooseProgramFolders(const QString &programFolder, const QString &userFolder, bool programFolderWritable);

} // namespace qrn
