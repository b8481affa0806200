#include "TagCompleter.h"

#include "TagHighlighter.h"

#include <core/TagTable.h>
#include <storage/TextCodec.h>

#include <QCompleter>
#include <QFontMetrics>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTreeView>

#include <algorithm>

namespace qrn {

namespace {

// Characters after which a new word of the tag begins. ASCII separators count only in a tag
// opened with "＜": in plain HTML written with "<" the list would only get in the way.
bool opensWord(QChar c, bool fullWidthTag)
{
    switch (c.unicode()) {
    case u'＜':
    case u'　':
    case u'＝':
    case u'「':
        return true;
    case u' ':
    case u'=':
        return fullWidthTag;
    default:
        return false;
    }
}

// Where in a tag a word stands, by what stands before it: the element's word after "＜", an
// attribute's name after a blank, a value after "＝" or "「".
enum class Place { Element, Attribute, Value };

Place placeAfter(QChar before)
{
    switch (before.unicode()) {
    case u'　':
    case u' ':
        return Place::Attribute;
    case u'＝':
    case u'=':
    case u'「':
        return Place::Value;
    default:
        return Place::Element;
    }
}

// The dictionary's categories: 6 colours and the attributes that take one, 7 other attribute
// names and values. The file does not tell a name from a value, so both places offer both.
constexpr int ColourCategory = 6;
constexpr int AttributeCategory = 7;

bool fitsPlace(int category, Place place)
{
    switch (place) {
    case Place::Element:
        return category != ColourCategory && category != AttributeCategory;
    case Place::Attribute:
    case Place::Value:
        return category == ColourCategory || category == AttributeCategory;
    }
    return true;
}

} // namespace

TagCompleter::TagCompleter(QPlainTextEdit &editor, const TagHighlighter &highlighter)
    : QObject(&editor), m_editor(editor), m_highlighter(highlighter), m_completer(new QCompleter(this)),
      m_models{new QStandardItemModel(this), new QStandardItemModel(this), new QStandardItemModel(this)}
{
    auto *view = new QTreeView;
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setObjectName(QStringLiteral("tagCompletionList"));
    m_completer->setModel(m_models[0]);
    m_completer->setPopup(view);
    m_completer->setWidget(&editor);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseSensitive);
    m_completer->setModelSorting(QCompleter::UnsortedModel);
    m_completer->setFilterMode(Qt::MatchStartsWith);
    m_completer->setCompletionColumn(0);
    m_completer->setMaxVisibleItems(12);
    connect(m_completer, qOverload<const QString &>(&QCompleter::activated), this, &TagCompleter::insert);
}

void TagCompleter::setTagTable(const TagTable *table)
{
    m_table = table;
    m_stale = true;
}

bool TagCompleter::isOpen() const
{
    return m_completer->popup()->isVisible();
}

QAbstractItemView *TagCompleter::popup() const
{
    return m_completer->popup();
}

// One row per Japanese word, at the place of its first entry, in a list for each place of a
// tag. The description is that of the last entry with the word, the line the status bar shows
// for the palette row; a colour gets a swatch.
void TagCompleter::refill()
{
    m_stale = false;
    m_wordWidth = m_descriptionWidth = 0;
    for (QStandardItemModel *model : m_models) {
        model->clear();
        model->setColumnCount(2);
    }
    if (!m_table)
        return;
    const QFontMetrics metrics(m_editor.font());
    QHash<QString, int> rowOf[3];
    for (int i = 0; i <= m_table->TagCount(); ++i) {
        const TagEntry &entry = (*m_table)[i];
        if (entry.JapaneseName.empty())
            continue;
        const QString word = fromU16(entry.JapaneseName);
        const QString description = fromU16(entry.Description);
        m_descriptionWidth = std::max(m_descriptionWidth, metrics.horizontalAdvance(description));
        m_wordWidth = std::max(m_wordWidth, metrics.horizontalAdvance(word));
        for (int place = 0; place < 3; ++place) {
            if (!fitsPlace(entry.Category, Place(place)))
                continue;
            QStandardItemModel *model = m_models[place];
            const auto found = rowOf[place].constFind(word);
            if (found != rowOf[place].constEnd()) {
                model->item(*found, 0)->setToolTip(description);
                model->item(*found, 1)->setText(description);
                continue;
            }
            rowOf[place].insert(word, model->rowCount());
            auto *wordItem = new QStandardItem(word);
            auto *descriptionItem = new QStandardItem(description);
            wordItem->setToolTip(description);
            if (entry.Category == ColourCategory) {
                const QColor colour(fromU16(entry.HtmlName));
                if (colour.isValid()) {
                    QPixmap swatch(12, 12);
                    swatch.fill(colour);
                    wordItem->setIcon(QIcon(swatch));
                }
            }
            model->appendRow({wordItem, descriptionItem});
        }
    }
}

bool TagCompleter::wordAtCaret(Word &word) const
{
    const QTextCursor caret = m_editor.textCursor();
    if (caret.hasSelection())
        return false;
    const QTextBlock block = caret.block();
    const auto context = m_highlighter.contextAt(block, caret.positionInBlock());
    if (!context || !context->state.walk.insideTag)
        return false;
    word.start = block.position() + context->wordStart;
    word.prefix = block.text().mid(context->wordStart, caret.positionInBlock() - context->wordStart);
    word.before = context->wordStart > 0 ? block.text().at(context->wordStart - 1) : QChar(u'＜');
    word.fullWidthTag = context->fullWidthTag;
    return true;
}

bool TagCompleter::openAtCaret()
{
    Word word;
    if (!wordAtCaret(word))
        return false;
    return showFor(word);
}

void TagCompleter::textTyped(const QString &typed)
{
    const bool open = isOpen();
    // Most keys neither open nor touch a list: the scan of the line is spared them.
    if (!open && (typed.isEmpty() || !opensWord(typed.back(), true)))
        return;
    Word word;
    if (!wordAtCaret(word)) {
        m_completer->popup()->hide();
        return;
    }
    if (open)
        showFor(word);
    else if (word.prefix.isEmpty() && opensWord(typed.back(), word.fullWidthTag))
        showFor(word);
}

bool TagCompleter::showFor(const Word &word)
{
    if (m_stale)
        refill();
    QStandardItemModel *model = m_models[int(placeAfter(word.before))];
    if (m_completer->model() != model)
        m_completer->setModel(model);
    const QString &prefix = word.prefix;
    m_completer->setCompletionPrefix(prefix);
    QAbstractItemView *list = m_completer->popup();
    if (m_completer->completionCount() == 0) {
        list->hide();
        return false;
    }
    list->setFont(m_editor.font());
    // Widths measured once per dictionary: sizing the columns to their contents on every
    // keystroke would measure every row.
    auto *tree = static_cast<QTreeView *>(list);
    const int gap = 2 * QFontMetrics(m_editor.font()).horizontalAdvance(QLatin1Char('M'));
    tree->setColumnWidth(0, m_wordWidth + gap);
    QRect at = m_editor.cursorRect();
    at.translate(m_editor.viewport()->geometry().topLeft());
    at.setWidth(std::min(m_wordWidth + m_descriptionWidth + 2 * gap + tree->verticalScrollBar()->sizeHint().width(),
                         std::max(m_editor.width(), m_wordWidth * 3)));
    m_completer->complete(at);
    // A row is chosen only once what was typed narrows the list: right after "＜" or a separator,
    // Enter still means a new line.
    list->setCurrentIndex(prefix.isEmpty() ? QModelIndex() : m_completer->completionModel()->index(0, 0));
    return true;
}

void TagCompleter::insert(const QString &completion)
{
    Word word;
    if (!wordAtCaret(word))
        return;
    QTextCursor cursor = m_editor.textCursor();
    cursor.setPosition(word.start);
    cursor.setPosition(m_editor.textCursor().position(), QTextCursor::KeepAnchor);
    cursor.insertText(completion);
    m_editor.setTextCursor(cursor);
}

} // namespace qrn
