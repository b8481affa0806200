#pragma once

#include <storage/RecoveryStore.h>

#include <QObject>
#include <QTimer>

class QWidget;

namespace qrn {

class DocumentSession;
class DocumentText;
class MessageBoxes;

// Keeps a copy of the document while it has unsaved changes, so a crash, a kill or a logout
// loses nothing: written at most every five seconds, never on the keystroke path.
//
// The one rule for removing a copy, this run's or one a dead run left: it goes only when the text
// it holds is safe elsewhere (written to its file, or replaced by a newer copy) or when the user
// explicitly threw that text away (いいえ to saving it, 破棄する to restoring it). Nothing else
// removes it: not a question left unanswered or interrupted, not a new or opened document after
// such a question, not an error, not the program being told to end.
class DocumentRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 5000;

    DocumentRecovery(DocumentSession &session, DocumentText &text, const QString &folder, QObject *parent = nullptr,
                     int intervalMs = IntervalMs);

    // Offers each copy that runs no longer alive left behind, newest first, one question each:
    // 復元する puts it into the editor as a changed document (and ends the offers: the others stay
    // for the next start), 破棄する deletes it, 後で (also Esc or closing) keeps it.
    void askToRestoreLeftCopies(MessageBoxes &messages, QWidget *parent);
    // Writes the copy now, when the document has unsaved changes.
    void saveNow();
    // The program is ending without questions: the copy is written and nothing removes it.
    void holdForExit();
    // Whether another live run uses the folder as its work folder (its preview's scratch file).
    bool folderUsedByOtherRun(const QString &folder) const;

signals:
    // A copy could not be written; said once until one is written again.
    void copyFailed(const QString &reason);

private:
    enum class Removal { TextWritten, UserDiscarded };
    // The only place this run's copy is removed.
    void removeOwnCopy(Removal why);
    void documentChanged(bool changed);

    DocumentSession &m_session;
    DocumentText &m_text;
    RecoveryStore m_store;
    bool m_active = false;
    bool m_held = false;
    bool m_failureSaid = false;
    QTimer m_timer;
};

} // namespace qrn
