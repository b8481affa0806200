#pragma once

#include <RecoveryStore.h>

#include <QObject>
#include <QTimer>

class QWidget;

namespace qrn {

class DocumentSession;
class DocumentText;
class MessageBoxes;

// Keeps a copy of the document while it has unsaved changes, so a crash, a kill or a logout
// loses nothing: written at most every five seconds, never on the keystroke path, and removed
// when the document is saved, replaced or closed in order.
class DocumentRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int IntervalMs = 5000;

    DocumentRecovery(DocumentSession &session, DocumentText &text, const QString &folder, QObject *parent = nullptr);

    // Offers the copy a run that no longer exists left behind; Yes puts it into the editor as a
    // changed document, No deletes it.
    void askToRestoreLeftCopies(MessageBoxes &messages, QWidget *parent);
    // Writes the copy now, when the document has unsaved changes (an exit without questions).
    void saveNow();
    // An orderly exit: the copy goes.
    void discardOwnCopy();

private:
    void documentChanged(bool changed);

    DocumentSession &m_session;
    DocumentText &m_text;
    RecoveryStore m_store;
    bool m_active = false;
    QTimer m_timer;
};

} // namespace qrn
