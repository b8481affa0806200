#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace qrn {

QString joinPath(const QString &folder, const QString &name)
{
    return folder + QDir::separator() + name;
}

QString folderOfPath(const QString &path)
{
    const qsizetype last = path.lastIndexOf(QDir::separator());
    return last < 0 ? QString() : path.left(last);
}

bool folderIsWritable(const QString &folder)
{
    QTemporaryFile probe(joinPath(folder, QStringLiteral(".qrn-write-test-XXXXXX")));
    return probe.open();
}

ProgramFolders chooseProgramFolders(const QString &programFolder, const QString &userFolder, bool programFolderWritable)
{
    const QString recovery = joinPath(userFolder, QStringLiteral("recovery"));
    if (programFolderWritable)
        return {programFolder, programFolder, recovery, userFolder};
    QDir().mkpath(userFolder);
    for (const QString &name : {DictionaryFileName, SettingsFileName}) {
        const QString copy = joinPath(userFolder, name);
        if (!QFileInfo::exists(copy))
            QFile::copy(joinPath(programFolder, name), copy); // a missing one is reported at start-up
    }
    return {programFolder, userFolder, recovery, userFolder};
}

} // namespace qrn
