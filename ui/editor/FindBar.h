#pragma once

#include <QList>
#include <QRegularExpression>
#include <QWidget>

#include <optional>

class QCheckBox;
class QTextCursor;
class QTimer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qrn {

// Find and replace in a bar below the editor. Matches never cross a line end; a search that
// reaches the end goes on from the other end and says so, and one that finds nothing says so in
// the bar. Replace all is a single undo step and a single change of the document.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QPlainTextEdit &editor);

    // Ctrl+F and Ctrl+H: shows the bar, the replace row only for replacing, and puts the focus in
    // the search field, filled from a one-line selection.
    void openForFind();
    void openForReplace();
    // Esc: hides the bar and gives the focus back to the editor.
    void closeBar();

    // F3 and Shift+F3: select the next or previous match from the caret. False when none.
    bool findNext();
    bool findPrevious();
    // Replaces the selection when it is a match, then finds the next one.
    bool replaceOne();
    // Every match in the document; returns how many.
    int replaceAll();

    // What the last search said ("" when it found something without wrapping).
    QString message() const;

signals:
    // The bar was shown or hidden, or changed its height: the editor lays out again.
    void layoutChanged();
    // Every match while the bar is open (none when it is closed): the editor highlights them.
    void matchesChanged(const QList<QTextCursor> &matches);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Match {
        int start, end;
    };
    void open(bool replacing);
    std::optional<QRegularExpression> pattern();
    std::optional<Match> search(const QRegularExpression &re, bool forward, int from, bool skipEmptyAtFrom) const;
    bool find(bool forward);
    void select(Match m);
    void say(const QString &message);

    QPlainTextEdit &m_editor;
    QLineEdit *m_findText;
    QLineEdit *m_replaceText;
    QCheckBox *m_matchCase;
    QCheckBox *m_regularExpression;
    QCheckBox *m_wholeWord;
    QTimer *m_rematch; // all matches found again a moment after the text or the search changed
    void highlightAll();
    QWidget *m_replaceRow;
    QLabel *m_message;
};

} // namespace qrn
