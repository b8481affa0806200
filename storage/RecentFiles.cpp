#include "RecentFiles.h"

#include "TextFile.h"

#include <QDir>
#include <QFileInfo>

namespace qrn {

QStringList RecentFiles::list() const
{
    const ReadBytesResult read = readFileBytes(m_path, 1 << 20);
    if (!read.ok)
        return {};
    QStringList files = QString::fromUtf8(read.bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    files.removeDuplicates();
    return files.mid(0, Limit);
}

bool RecentFiles::write(const QStringList &files) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return writeFileAtomically(m_path, (files.mid(0, Limit).join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()).ok;
}

bool RecentFiles::add(const QString &file)
{
    QStringList files = list();
    files.removeAll(file);
    files.prepend(file);
    return write(files);
}

bool RecentFiles::remove(const QString &file)
{
    QStringList files = list();
    if (files.removeAll(file) == 0)
        return true;
    return write(files);
}

ViewSettings ViewSettings::read(const QString &path)
{
    ViewSettings v;
    const ReadBytesResult read = readFileBytes(path, 1 << 16);
    if (!read.ok)
        return v;
    for (const QByteArray &line : read.bytes.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == "wrap")
            v.wrapped = value == "1";
        else if (key == "editor-zoom")
            v.editorZoom = value.toInt();
        else if (key == "preview-zoom")
            v.previewZoom = std::clamp(value.toDouble(), 0.25, 5.0);
    }
    return v;
}

bool ViewSettings::write(const QString &path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray text = "wrap=" + QByteArray(wrapped ? "1" : "0") + "\neditor-zoom=" + QByteArray::number(editorZoom)
                            + "\npreview-zoom=" + QByteArray::number(previewZoom) + "\n";
    return writeFileAtomically(path, text).ok;
}

} // namespace qrn
