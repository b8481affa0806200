#pragma once

#include <QString>
#include <QStringList>

namespace qrn {

// The documents last opened or saved, newest first, at most ten, kept in a file of the user's
// data folder (one absolute path a line, UTF-8). Each change reads the file again first, so two
// editors running at once keep each other's entries.
class RecentFiles {
public:
    static constexpr int Limit = 10;

    explicit RecentFiles(QString path) : m_path(std::move(path)) {}

    QStringList list() const;
    // Puts the file first; false when the list could not be written.
    bool add(const QString &file);
    bool remove(const QString &file);

private:
    bool write(const QStringList &files) const;
    QString m_path;
};

// How the window shows things, apart from the editor's appearance: word wrap and the two panes'
// zoom, kept beside the recent files, never in "EditerFontDate.dat", whose format stays as it is.
struct ViewSettings {
    bool wrapped = false;
    int editorZoom = 0;     // steps of a tenth
    double previewZoom = 1; // the pane's zoom factor

    static ViewSettings read(const QString &path);
    bool write(const QString &path) const;
};

} // namespace qrn
