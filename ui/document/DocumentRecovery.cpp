#include "DocumentRecovery.h"

#include "DocumentSession.h"
#include "DocumentText.h"

#include <dialogs/MessageBoxes.h>

#include <QFileInfo>

namespace qrn {

DocumentRecovery::DocumentRecovery(DocumentSession &session, DocumentText &text, const QString &folder, QObject *parent,
                                   int intervalMs)
    : QObject(parent), m_session(session), m_text(text), m_store(folder)
{
    m_active = m_store.start();
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &DocumentRecovery::saveNow);
    connect(&m_session, &DocumentSession::docChangedChanged, this, &DocumentRecovery::documentChanged);
    // Every change while changed: the timer runs from the first change after the last copy, and
    // is not restarted by the next, so that someone who keeps typing still gets a copy.
    connect(&m_session, &DocumentSession::textEdited, this, [this] {
        if (m_active && m_session.DocChanged() && !m_timer.isActive())
            m_timer.start();
    });
    connect(&m_session, &DocumentSession::textWritten, this, [this] { removeOwnCopy(Removal::TextWritten); });
    connect(&m_session, &DocumentSession::changesDiscarded, this, [this] { removeOwnCopy(Removal::UserDiscarded); });
    connect(&m_session, &DocumentSession::workFolderChanged, this, [this] { m_store.setWorkFolder(m_session.WorkFolder()); });
}

void DocumentRecovery::documentChanged(bool changed)
{
    if (!m_active)
        return;
    if (changed && !m_timer.isActive())
        m_timer.start();
    else if (!changed)
        m_timer.stop();
}

void DocumentRecovery::removeOwnCopy(Removal)
{
    // Both reasons are the rule's: the text is in its file, or the user chose to lose it.
    m_timer.stop();
    if (m_active && !m_held)
        m_store.remove();
}

void DocumentRecovery::saveNow()
{
    m_timer.stop();
    if (!m_active || !m_session.DocChanged())
        return;
    const FileResult written = m_store.save({m_text.text(), m_session.DocPath(), m_session.format(), {}, {}});
    if (written.ok) {
        m_failureSaid = false;
    } else if (!m_failureSaid) {
        m_failureSaid = true;
        emit copyFailed(written.error);
    }
}

void DocumentRecovery::holdForExit()
{
    saveNow();
    m_held = true;
}

bool DocumentRecovery::folderUsedByOtherRun(const QString &folder) const
{
    return m_active && m_store.otherRunUses(folder);
}

void DocumentRecovery::askToRestoreLeftCopies(MessageBoxes &messages, QWidget *parent)
{
    if (!m_active)
        return;
    for (const RecoveryCopy &copy : m_store.orphans()) {
        const QString name = copy.docPath.isEmpty() ? m_session.untitledName() : QFileInfo(copy.docPath).fileName();
        const QString firstLine = copy.text.section(QStringLiteral("\r\n"), 0, 0).left(80);
        const QString question = QStringLiteral("保存されていない文書「%1」が残っています（%2 に書かれたコピー）。\n"
                                                "最初の行：%3\n\n復元しますか？")
                                     .arg(name, copy.written.toString(QStringLiteral("yyyy/MM/dd HH:mm")), firstLine);
        const int answer = messages.askChoice(
            parent, question, {QStringLiteral("復元する(&R)"), QStringLiteral("破棄する(&D)"), QStringLiteral("後で(&L)")}, 0);
        if (m_session.isEnding())
            return; // the question was cut short: nothing is decided
        if (answer == 1) {
            m_store.discard(copy);
        } else if (answer == 0) {
            m_session.restore(copy.text, copy.docPath, copy.format);
            m_timer.stop();
            // The restored text is this run's copy now; the old one goes once a newer one holds it.
            if (m_store.save({m_text.text(), m_session.DocPath(), m_session.format(), {}, {}}).ok)
                m_store.discard(copy);
            return;
        }
    }
}

} // namespace qrn
