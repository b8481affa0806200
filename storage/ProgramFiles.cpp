#include "ProgramFiles.h"

#include <QDir>

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

} // namespace qrn
