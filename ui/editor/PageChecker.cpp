#include "PageChecker.h"

#include "EditorText.h"

#include <core/HenkanMod.h>
#include <storage/TextCodec.h>

#include <QTextBlock>
#include <QtConcurrent/QtConcurrentRun>

namespace qrn {

PageChecker::PageChecker(EditorText &editor, QObject *parent)
    : QObject(parent), m_editor(editor), m_panel(new QListWidget(&editor))
{
    m_panel->setObjectName(QStringLiteral("problems"));
    m_panel->hide();
    m_still.setSingleShot(true);
    m_still.setInterval(StillMs);
    connect(&m_still, &QTimer::timeout, this, &PageChecker::start);
    connect(&m_editor, &QPlainTextEdit::textChanged, this, &PageChecker::textChanged);
    connect(&m_watcher, &QFutureWatcher<std::vector<TidyFinding>>::finished, this, &PageChecker::finished);
    const auto goToRow = [this] {
        const int row = m_panel->currentRow();
        if (row >= 0 && std::size_t(row) < m_shown.size())
            m_editor.goToLine(m_shown[row].line);
    };
    connect(m_panel, &QListWidget::itemClicked, this, goToRow);
    connect(m_panel, &QListWidget::itemActivated, this, goToRow);
}

PageChecker::~PageChecker()
{
    m_watcher.waitForFinished();
}

void PageChecker::setTagTable(const TagTable *table)
{
    m_table = table;
    textChanged();
}

void PageChecker::setNotesShown(bool shown)
{
    m_notesShown = shown;
    show(m_all);
}

void PageChecker::setPanelWanted(bool wanted)
{
    m_panelWanted = wanted;
    show(m_all);
}

void PageChecker::textChanged()
{
    ++m_generation;
    if (m_table)
        m_still.start();
}

void PageChecker::checkNow()
{
    m_still.stop();
    start();
}

void PageChecker::start()
{
    if (!m_table)
        return;
    if (m_watcher.isRunning())
        return; // the newest text is checked when this one is done
    if (m_editor.isLoading()) {
        m_still.start(); // not a half-loaded text
        return;
    }
    m_checking = m_generation;
    // The worker gets a page of its own: nothing it reads changes under it.
    m_checkedHtml = ToHtml(toU16View(m_editor.text()), *m_table);
    m_watcher.setFuture(QtConcurrent::run([html = m_checkedHtml] { return tidyPage(html); }));
}

void PageChecker::finished()
{
    if (m_checking != m_generation) {
        // The text changed while it was checked: this result is of no use.
        if (!m_still.isActive())
            start();
        return;
    }
    show(describeProblems(m_watcher.result(), m_checkedHtml, *m_table));
}

void PageChecker::show(const std::vector<PageProblem> &problems)
{
    if (&problems != &m_all)
        m_all = problems;
    m_shown.clear();
    for (const PageProblem &p : m_all)
        if (p.level == ProblemLevel::Error || m_notesShown)
            m_shown.push_back(p);
    m_panel->clear();
    QList<EditorText::Mark> marks;
    for (const PageProblem &p : m_shown) {
        const QString label = fromU16(std::u16string(levelLabel(p.level)));
        auto *item = new QListWidgetItem(QStringLiteral("%1 行: %2: %3").arg(p.line + 1).arg(label, fromU16(p.sentence)), m_panel);
        item->setToolTip(fromU16(p.sentence));
        marks.append({p.line, fromU16(p.word), fromU16(p.sentence), p.level == ProblemLevel::Error});
    }
    m_panel->setVisible(m_panelWanted && !m_shown.empty());
    m_editor.setProblemMarks(marks);
    emit problemsChanged(int(m_shown.size()));
}

void PageChecker::goToNext(bool backwards)
{
    if (m_shown.empty())
        return;
    const int caret = m_editor.documentLine(m_editor.textCursor().block());
    int target = -1;
    if (!backwards) {
        for (const PageProblem &p : m_shown)
            if (p.line > caret) {
                target = p.line;
                break;
            }
        if (target < 0)
            target = m_shown.front().line;
    } else {
        for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it)
            if (it->line < caret) {
                target = it->line;
                break;
            }
        if (target < 0)
            target = m_shown.back().line;
    }
    m_editor.goToLine(target);
}

} // namespace qrn
