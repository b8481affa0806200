#pragma once

#include "TextEncoding.h"
#include "TextFile.h"

#include <QLockFile>
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
    QString id; // whose copy it is
};

// The recovery copies of every running editor, in one folder. Each run keeps its copy under a
// name of its own beside a lock file it holds while it runs, so a copy whose lock is free was left
// by a run that no longer exists (a crash, a kill) and a live run's copy is never taken.
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
    // Copies left by runs that no longer exist, oldest first.
    std::vector<RecoveryCopy> orphans() const;
    // Removes a left copy and its lock.
    void discard(const RecoveryCopy &copy);

private:
    QString copyPath(const QString &id) const;
    QString lockPath(const QString &id) const;

    QString m_folder;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace qrn
