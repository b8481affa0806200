#pragma once

#include <check/PageCheck.h>

#include <QFutureWatcher>
#include <QList>
#include <QListWidget>
#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace qrn {

class EditorText;
class TagTable;

// Checks the page while the user writes, off the keystroke path: once the text has been still
// for 400 ms, the converted page is checked by HTML Tidy on a worker thread, one check at a time;
// a result for a text that has changed since is dropped and the newest text checked instead.
// The problems are marked in the editor with a wavy line under the word they name, listed in a
// panel under the text, and counted for the status bar.
class PageChecker : public QObject {
    Q_OBJECT
public:
    static constexpr int StillMs = 400;

    PageChecker(EditorText &editor, QObject *parent = nullptr);
    ~PageChecker() override;

    // The dictionary the page is converted with and the words are named from; none: no check.
    void setTagTable(const TagTable *table);
    // The notes (注意) shown or not; errors always are.
    void setNotesShown(bool shown);
    // The panel listing the problems, wanted or not; it shows only while there are some.
    void setPanelWanted(bool wanted);

    const std::vector<PageProblem> &problems() const { return m_shown; }
    QListWidget *panel() const { return m_panel; }
    // Moves the caret to the next or previous problem's line (F8, Shift+F8), round the end.
    void goToNext(bool backwards);
    // Checks now, not waiting for the text to be still (tests, and the first text).
    void checkNow();

signals:
    // The shown problems changed: how many there are.
    void problemsChanged(int count);

private:
    void textChanged();
    void start();
    void finished();
    void show(const std::vector<PageProblem> &problems);

    EditorText &m_editor;
    const TagTable *m_table = nullptr;
    QTimer m_still;
    QFutureWatcher<std::vector<TidyFinding>> m_watcher;
    std::u16string m_checkedHtml; // the page the running check is about
    quint64 m_generation = 0;     // changes of the text so far
    quint64 m_checking = 0;       // the generation the running check is of
    bool m_notesShown = true;
    bool m_panelWanted = true;
    std::vector<PageProblem> m_all, m_shown;
    QListWidget *m_panel;
};

} // namespace qrn
