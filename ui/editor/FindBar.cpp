#include "FindBar.h"

#include "LinePieces.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qrn {

namespace {

QPushButton *button(const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setAutoDefault(true); // Enter on a focused button presses it
    return b;
}

// The replacement for one match: with regular expressions "\1" to "\9" stand for the captured
// groups and "\0" for the whole match, as in QString::replace.
QString replacementFor(const QString &after, const QRegularExpressionMatch &match, bool regularExpression)
{
    if (!regularExpression)
        return after;
    QString out;
    out.reserve(after.size());
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (after[i] == QLatin1Char('\\') && i + 1 < after.size() && after[i + 1].isDigit()) {
            out += match.captured(after[i + 1].digitValue());
            ++i;
        } else {
            out += after[i];
        }
    }
    return out;
}

} // namespace

FindBar::FindBar(QPlainTextEdit &editor) : QWidget(&editor), m_editor(editor)
{
    // The bar is the window's, not the document's: it keeps the application's look whatever
    // font and colours the user gave the editor.
    // (Every role and property marked as set, or the editor's would show through.)
    QPalette colors = QApplication::palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            colors.setBrush(group, QPalette::ColorRole(role), colors.brush(group, QPalette::ColorRole(role)));
    setPalette(colors);
    QFont font = QApplication::font();
    font.setResolveMask(QFont::AllPropertiesResolved);
    setFont(font);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setObjectName(QStringLiteral("findBar"));

    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("findText"));
    m_replaceText = new QLineEdit(this);
    m_replaceText->setObjectName(QStringLiteral("replaceText"));
    m_matchCase = new QCheckBox(QStringLiteral("大文字と小文字を区別"), this);
    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_regularExpression = new QCheckBox(QStringLiteral("正規表現"), this);
    m_regularExpression->setObjectName(QStringLiteral("regularExpression"));
    m_wholeWord = new QCheckBox(QStringLiteral("単語単位"), this);
    m_wholeWord->setObjectName(QStringLiteral("wholeWord"));
    // All matches are found again a moment after the search or the text changed, off the key.
    m_rematch = new QTimer(this);
    m_rematch->setSingleShot(true);
    m_rematch->setInterval(150);
    connect(m_rematch, &QTimer::timeout, this, &FindBar::highlightAll);
    for (QCheckBox *option : {m_matchCase, m_regularExpression, m_wholeWord})
        connect(option, &QCheckBox::toggled, m_rematch, qOverload<>(&QTimer::start));
    connect(m_findText, &QLineEdit::textChanged, m_rematch, qOverload<>(&QTimer::start));
    connect(m_editor.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (isVisible())
            m_rematch->start();
    });
    connect(m_editor.document(), &QTextDocument::contentsChanged, this, [this] {
        if (isVisible())
            m_rematch->start();
    });
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("findMessage"));
    m_message->setTextFormat(Qt::PlainText);

    auto *previous = button(QStringLiteral("前を検索"), this);
    auto *next = button(QStringLiteral("次を検索"), this);
    auto *replace = button(QStringLiteral("置換"), this);
    auto *replaceAllButton = button(QStringLiteral("すべて置換"), this);
    auto *closeButton = new QToolButton(this);
    closeButton->setText(QStringLiteral("×"));
    closeButton->setToolTip(QStringLiteral("閉じる (Esc)"));
    closeButton->setAutoRaise(true);

    auto *findRow = new QHBoxLayout;
    findRow->addWidget(new QLabel(QStringLiteral("検索:"), this));
    findRow->addWidget(m_findText, 1);
    findRow->addWidget(previous);
    findRow->addWidget(next);
    findRow->addWidget(m_matchCase);
    findRow->addWidget(m_regularExpression);
    findRow->addWidget(m_wholeWord);
    findRow->addWidget(m_message, 1);
    findRow->addWidget(closeButton);

    m_replaceRow = new QWidget(this);
    auto *replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceRow->addWidget(new QLabel(QStringLiteral("置換後:"), m_replaceRow));
    replaceRow->addWidget(m_replaceText, 1);
    replaceRow->addWidget(replace);
    replaceRow->addWidget(replaceAllButton);
    replaceRow->addStretch(1);

    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 3, 4, 3);
    rows->setSpacing(3);
    rows->addLayout(findRow);
    rows->addWidget(m_replaceRow);

    connect(previous, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::findNext);
    connect(replace, &QPushButton::clicked, this, &FindBar::replaceOne);
    connect(replaceAllButton, &QPushButton::clicked, this, &FindBar::replaceAll);
    connect(closeButton, &QToolButton::clicked, this, &FindBar::closeBar);
    // A search said for other options no longer applies.
    connect(m_findText, &QLineEdit::textEdited, this, [this] { say(QString()); });
    hide();
}

void FindBar::openForFind()
{
    open(false);
}

void FindBar::openForReplace()
{
    open(true);
}

void FindBar::open(bool replacing)
{
    const QString selected = m_editor.textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) && !selected.contains(QChar::LineSeparator))
        m_findText->setText(selected);
    m_replaceRow->setVisible(replacing);
    show();
    say(QString());
    m_findText->setFocus();
    m_findText->selectAll();
    emit layoutChanged();
    highlightAll();
}

void FindBar::closeBar()
{
    hide();
    m_rematch->stop();
    m_editor.setFocus();
    emit layoutChanged();
    emit matchesChanged({});
}

// Every match in view, and a screenful or so around it, highlighted while the bar is open; a
// scroll highlights the lines it brings. (Highlighting all of a large document at once would
// cost as much as laying it out.)
void FindBar::highlightAll()
{
    QList<QTextCursor> matches;
    if (isVisible() && !m_findText->text().isEmpty()) {
        const QString message = m_message->text();
        const std::optional<QRegularExpression> re = pattern();
        m_message->setText(message);
        if (re) {
            QTextDocument *document = m_editor.document();
            const QRect view = m_editor.viewport()->rect();
            const int top = m_editor.cursorForPosition(view.topLeft()).blockNumber();
            const int bottom = m_editor.cursorForPosition(view.bottomRight()).blockNumber();
            const int margin = std::max(50, bottom - top);
            QTextBlock b = document->findBlockByNumber(std::max(0, top - margin));
            const QTextBlock last = document->findBlockByNumber(bottom + margin);
            for (; b.isValid() && (!last.isValid() || b.blockNumber() <= last.blockNumber()); b = b.next()) {
                QRegularExpressionMatchIterator it = re->globalMatch(b.text());
                while (it.hasNext()) {
                    const QRegularExpressionMatch m = it.next();
                    if (m.capturedLength() == 0)
                        continue;
                    QTextCursor c(document);
                    c.setPosition(b.position() + int(m.capturedStart()));
                    c.setPosition(b.position() + int(m.capturedEnd()), QTextCursor::KeepAnchor);
                    matches.append(c);
                }
            }
        }
    }
    emit matchesChanged(matches);
}

QString FindBar::message() const
{
    return m_message->text();
}

void FindBar::say(const QString &message)
{
    m_message->setText(message);
}

std::optional<QRegularExpression> FindBar::pattern()
{
    const QString text = m_findText->text();
    if (text.isEmpty()) {
        say(QStringLiteral("検索する文字列を入力してください"));
        return std::nullopt;
    }
    const bool regularExpression = m_regularExpression->isChecked();
    QString source = regularExpression ? text : QRegularExpression::escape(text);
    // A whole word: no letter or digit of any script just before or after it.
    if (m_wholeWord->isChecked())
        source = QStringLiteral("(?<![\\w])(?:") + source + QStringLiteral(")(?![\\w])");
    QRegularExpression re(source, (m_matchCase->isChecked() ? QRegularExpression::NoPatternOption
                                                            : QRegularExpression::CaseInsensitiveOption)
                                      | QRegularExpression::UseUnicodePropertiesOption);
    if (!re.isValid()) {
        say(QStringLiteral("正規表現に誤りがあります（%1 文字目）").arg(re.patternErrorOffset() + 1));
        return std::nullopt;
    }
    re.optimize();
    return re;
}

// Forward: the first match from `from` on. Backward: the last match that begins before `from`.
// An empty match standing right at `from` is passed over when asked, or a search that found one
// would find it again forever.
std::optional<FindBar::Match> FindBar::search(const QRegularExpression &re, bool forward, int from,
                                              bool skipEmptyAtFrom) const
{
    const QTextDocument *document = m_editor.document();
    if (forward) {
        for (QTextBlock b = document->findBlock(from); b.isValid(); b = b.next()) {
            const QString text = b.text();
            qsizetype offset = std::max(0, from - b.position());
            while (offset <= text.size()) {
                const QRegularExpressionMatch m = re.match(text, offset);
                if (!m.hasMatch())
                    break;
                const Match found{b.position() + int(m.capturedStart()), b.position() + int(m.capturedEnd())};
                if (skipEmptyAtFrom && found.start == from && found.end == from) {
                    offset = m.capturedStart() + 1;
                    continue;
                }
                return found;
            }
        }
        return std::nullopt;
    }
    for (QTextBlock b = document->findBlock(from); b.isValid(); b = b.previous()) {
        std::optional<Match> last;
        QRegularExpressionMatchIterator it = re.globalMatch(b.text());
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const Match found{b.position() + int(m.capturedStart()), b.position() + int(m.capturedEnd())};
            if (found.start >= from)
                break;
            last = found;
        }
        if (last)
            return last;
    }
    return std::nullopt;
}

bool FindBar::find(bool forward)
{
    // F3 in the editor with the bar hidden: the bar shows what the search says.
    if (isHidden()) {
        if (m_findText->text().isEmpty()) {
            openForFind();
            return false;
        }
        m_replaceRow->hide();
        show();
        emit layoutChanged();
    }
    const std::optional<QRegularExpression> re = pattern();
    if (!re)
        return false;
    const QTextCursor caret = m_editor.textCursor();
    const int from = forward ? caret.selectionEnd() : caret.selectionStart();
    std::optional<Match> found = search(*re, forward, from, !caret.hasSelection());
    bool wrapped = false;
    if (!found) {
        wrapped = true;
        const int documentEnd = m_editor.document()->characterCount() - 1;
        found = search(*re, forward, forward ? 0 : documentEnd, false);
    }
    if (!found) {
        say(QStringLiteral("見つかりません"));
        return false;
    }
    select(*found);
    say(!wrapped   ? QString()
        : forward ? QStringLiteral("末尾まで検索したので、先頭から続けました")
                  : QStringLiteral("先頭まで検索したので、末尾から続けました"));
    return true;
}

bool FindBar::findNext()
{
    return find(true);
}

bool FindBar::findPrevious()
{
    return find(false);
}

void FindBar::select(Match m)
{
    QTextCursor cursor = m_editor.textCursor();
    cursor.setPosition(m.start);
    cursor.setPosition(m.end, QTextCursor::KeepAnchor);
    m_editor.setTextCursor(cursor);
}

bool FindBar::replaceOne()
{
    const std::optional<QRegularExpression> re = pattern();
    if (!re)
        return false;
    QTextCursor selection = m_editor.textCursor();
    if (selection.hasSelection()) {
        const QTextBlock block = m_editor.document()->findBlock(selection.selectionStart());
        const QRegularExpressionMatch m = re->match(block.text(), selection.selectionStart() - block.position(),
                                                    QRegularExpression::NormalMatch,
                                                    QRegularExpression::AnchorAtOffsetMatchOption);
        if (m.hasMatch() && block.position() + m.capturedEnd() == selection.selectionEnd()) {
            insertLines(selection, replacementFor(m_replaceText->text(), m, m_regularExpression->isChecked()));
            m_editor.setTextCursor(selection);
        }
    }
    return findNext();
}

int FindBar::replaceAll()
{
    const std::optional<QRegularExpression> re = pattern();
    if (!re)
        return 0;
    const QString after = m_replaceText->text();
    const bool regularExpression = m_regularExpression->isChecked();
    QTextDocument *document = m_editor.document();
    // Line by line from the end backwards, so that each edit leaves the lines still to come where
    // they were; one edit per line, from its first match to its last (far fewer edits than
    // matches); all of it in one edit block: one undo step, one change of the text.
    QTextCursor cursor(document);
    int count = 0;
    bool editing = false;
    QString replaced;
    for (QTextBlock b = document->lastBlock(); b.isValid(); b = b.previous()) {
        const QString text = b.text();
        QRegularExpressionMatchIterator it = re->globalMatch(text);
        if (!it.hasNext())
            continue;
        replaced.clear();
        qsizetype first = -1, copied = 0;
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            if (first < 0)
                first = copied = m.capturedStart();
            replaced += QStringView(text).mid(copied, m.capturedStart() - copied);
            replaced += replacementFor(after, m, regularExpression);
            copied = m.capturedEnd();
            ++count;
        }
        if (!editing) {
            cursor.beginEditBlock();
            editing = true;
        }
        cursor.setPosition(b.position() + int(first));
        cursor.setPosition(b.position() + int(copied), QTextCursor::KeepAnchor);
        insertLines(cursor, replaced);
    }
    if (editing)
        cursor.endEditBlock();
    say(count > 0 ? QStringLiteral("%1 件置換しました").arg(count) : QStringLiteral("見つかりません"));
    return count;
}

void FindBar::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        closeBar();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_replaceText->hasFocus())
            replaceOne();
        else
            find(!shift);
        return;
    case Qt::Key_F3:
        find(!shift);
        return;
    case Qt::Key_F:
        if (control) {
            openForFind();
            return;
        }
        break;
    case Qt::Key_H:
        if (control) {
            openForReplace();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

} // namespace qrn
