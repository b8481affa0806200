#pragma once

#include "TextEncoding.h"
#include "TextFile.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

namespace qrn {

// A copy of an unsaved document: its text, its file (empty for an untitled one) and the format
// it is saved in.
struct RecoveryCopy {
    QString text;
    QString docPath;
    TextFormat format;
    QString id;        // whose copy it is
    QDateTime written; // when it was last written
};

// The recovery copies of every running editor, in one folder. Each run keeps its copy under a
// name of its own beside a lock file on which it holds a kernel lock while it runs. The kernel
// drops that lock when the process ends, however it ends, so a copy whose lock is free was left
// by a run that no longer exists (a crash, a kill), and a live run's copy is never taken; a PID
// used again by another process, or by this run itself, proves nothing either way.
//
// Each run also says which work folder it uses, so that a run leaving a folder or moving into it
// knows whether the preview's scratch file there belongs to another live run.
class RecoveryStore {
public:
    explicit RecoveryStore(QString folder);
    ~RecoveryStore();

    // Takes this run's lock; false when the folder cannot be used.
    bool start();
    // Writes this run's copy, atomically.
    FileResult save(const RecoveryCopy &copy);
    // Removes this run's copy.
    void remove();
    // Copies left by runs that no longer exist, newest first.
    std::vector<RecoveryCopy> orphans() const;
    // Removes a left copy and what its run left beside it.
    void discard(const RecoveryCopy &copy);

    // The work folder this run uses now.
    void setWorkFolder(const QString &folder);
    // Whether a live run other than this one uses the folder as its work folder.
    bool otherRunUses(const QString &folder) const;

private:
    QString pathOf(const QString &id, const QString &suffix) const;
    // Whether a live run holds the lock of `id`.
    bool isAlive(const QString &id) const;

    QString m_folder;
    QString m_id;
    int m_lockFd = -1;
};

} // namespace qrn
