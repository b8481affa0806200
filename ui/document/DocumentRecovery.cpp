#include "DocumentRecovery.h"

#include "DocumentSession.h"
#include "DocumentText.h"

#include <MessageBoxes.h>

namespace qrn {

DocumentRecovery::DocumentRecovery(DocumentSession &session, DocumentText &text, const QString &folder, QObject *parent)
    : QObject(parent), m_session(session), m_text(text), m_store(folder)
{
    m_active = m_store.start();
    m_timer.setSingleShot(true);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &DocumentRecovery::saveNow);
    connect(&m_session, &DocumentSession::docChangedChanged, this, &DocumentRecovery::documentChanged);
    // Every change while changed: the timer runs from the first change after the last copy.
    connect(&m_session, &DocumentSession::textEdited, this, [this] {
        if (m_active && m_session.DocChanged() && !m_timer.isActive())
            m_timer.start();
    });
}

void DocumentRecovery::documentChanged(bool changed)
{
    if (!m_active)
        return;
    if (changed) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        // Saved, replaced by a new or opened document: nothing is left to recover.
        m_timer.stop();
        m_store.remove();
    }
}

void DocumentRecovery::saveNow()
{
    m_timer.stop();
    if (m_active && m_session.DocChanged())
        m_store.save({m_text.text(), m_session.DocPath(), m_session.format(), {}});
}

void DocumentRecovery::discardOwnCopy()
{
    m_timer.stop();
    if (m_active)
        m_store.remove();
}

void DocumentRecovery::askToRestoreLeftCopies(MessageBoxes &messages, QWidget *parent)
{
    if (!m_active)
        return;
    for (const RecoveryCopy &copy : m_store.orphans()) {
        const int answer = messages.askChoice(parent, QStringLiteral("保存されていない文書が残っています。復元しますか？"),
                                              {QStringLiteral("はい"), QStringLiteral("いいえ")}, 0);
        if (answer < 0)
            return; // closed without an answer (the program is ending): the copy stays for next time
        m_store.discard(copy);
        if (answer == 0) {
            m_session.restore(copy.text, copy.docPath, copy.format);
            saveNow(); // the restored text is this run's to keep now
            return;    // one document at a time: any further copy is offered at the next start
        }
    }
}

} // namespace qrn
