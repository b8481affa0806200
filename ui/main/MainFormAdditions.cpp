#include "MainForm.h"

#include <core/HenkanMod.h>
#include <document/DocumentSession.h>
#include <editor/EditorText.h>
#include <editor/FindBar.h>
#include <editor/LinePieces.h>
#include <preview/PreviewView.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>

#include <cmath>

// What the window offers beyond its five menus' own items: the platform's standard keys, recent
// files, find and replace, word wrap, zoom, full screen, the caret's place in the status bar and
// files dropped on the window. The menus' own items keep their captions, access keys and order;
// these come after them, behind a separator.

namespace qrn {

namespace {
const QStringList ImageSuffixes{QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("gif"),
                                QStringLiteral("svg"), QStringLiteral("webp"), QStringLiteral("bmp")};
} // namespace

void MainForm::buildAdditions()
{
    // The standard keys run the menu items' own handlers; the items themselves carry no key.
    // Where the platform names no key for one, the common one stands in.
    const auto key = [this](QKeySequence::StandardKey sequence, auto handler, const char *fallback = nullptr) {
        QList<QKeySequence> keys = QKeySequence::keyBindings(sequence);
        if (keys.isEmpty() && fallback)
            keys << QKeySequence(QString::fromLatin1(fallback));
        for (const QKeySequence &k : keys) {
            auto *shortcut = new QShortcut(k, this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, handler);
        }
    };
    key(QKeySequence::New, [this] { mmnyNew_Click(); });
    key(QKeySequence::Open, [this] { mmnyOpen_Click(); });
    key(QKeySequence::Save, [this] { mnySave_Click(); });
    key(QKeySequence::SaveAs, [this] { mmnyName_Click(); }, "Ctrl+Shift+S");
    key(QKeySequence::Quit, [this] { mmnyExit_Click(); }, "Ctrl+Q");
    key(QKeySequence::SelectAll, [this] { mmnyAll_Click(); });
    key(QKeySequence::Find, [this] { MainText->findBar()->openForFind(); });
    key(QKeySequence::Replace, [this] { MainText->findBar()->openForReplace(); });
    key(QKeySequence::FindNext, [this] { MainText->findBar()->findNext(); });
    key(QKeySequence::FindPrevious, [this] { MainText->findBar()->findPrevious(); });
    key(QKeySequence::Refresh, [this] { mmnyKousin_Click(); });
    key(QKeySequence::ZoomIn, [this] { zoom(+1); });
    key(QKeySequence::ZoomOut, [this] { zoom(-1); });
    key(QKeySequence::FullScreen, [this] { toggleFullScreen(); }, "F11");

    QList<QMenu *> menus;
    for (QAction *a : menuBar()->actions())
        menus << a->menu();
    QMenu *file = menus.value(0), *edit = menus.value(1), *settings = menus.value(2);

    file->addSeparator();
    mnyRecent = file->addMenu(QStringLiteral("最近使ったファイル(&R)"));
    connect(mnyRecent, &QMenu::aboutToShow, this, &MainForm::fillRecentFiles);

    edit->addSeparator();
    edit->addAction(QStringLiteral("検索(&F)…"), this, [this] { MainText->findBar()->openForFind(); });
    edit->addAction(QStringLiteral("置換(&R)…"), this, [this] { MainText->findBar()->openForReplace(); });
    mmnyWrap = edit->addAction(QStringLiteral("折り返して表示(&W)"));
    mmnyWrap->setCheckable(true);
    connect(mmnyWrap, &QAction::toggled, this, [this](bool on) {
        MainText->setWrapped(on);
        m_view.wrapped = on;
        m_view.write(m_viewPath);
    });

    settings->addSeparator();
    settings->addAction(QStringLiteral("拡大(&I)"), this, [this] { zoom(+1); });
    settings->addAction(QStringLiteral("縮小(&O)"), this, [this] { zoom(-1); });
    settings->addAction(QStringLiteral("元の大きさ(&Z)"), this, [this] { zoom(-MainText->zoomSteps()); });
    mmnyFullScreen = settings->addAction(QStringLiteral("全画面表示(&U)"), this, &MainForm::toggleFullScreen);
    mmnyFullScreen->setCheckable(true);

    StaCaret = new QLabel;
    statusBar()->addPermanentWidget(StaCaret);
    connect(MainText, &QPlainTextEdit::cursorPositionChanged, this, &MainForm::showCaretPlace);
    showCaretPlace();

    connect(m_session, &DocumentSession::docPathChanged, this, [this] {
        if (!m_session->DocPath().isEmpty())
            m_recent.add(m_session->DocPath());
    });

    // Files dropped on the window, the editor included: the editor would insert their names.
    setAcceptDrops(true);
    MainText->viewport()->installEventFilter(this);
}

void MainForm::applyViewSettings()
{
    m_view = ViewSettings::read(m_viewPath);
    mmnyWrap->setChecked(m_view.wrapped);
    MainText->setWrapped(m_view.wrapped);
    MainText->setZoomSteps(m_view.editorZoom);
    Brw->setZoom(m_view.previewZoom);
}

// Both panes grow or shrink by a tenth a step; the settings file's font stays as it is.
void MainForm::zoom(int steps)
{
    MainText->setZoomSteps(MainText->zoomSteps() + steps);
    m_view.editorZoom = MainText->zoomSteps();
    m_view.previewZoom = std::pow(1.1, m_view.editorZoom);
    Brw->setZoom(m_view.previewZoom);
    m_view.write(m_viewPath);
}

void MainForm::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
    mmnyFullScreen->setChecked(isFullScreen());
}

void MainForm::fillRecentFiles()
{
    mnyRecent->clear();
    const QStringList files = m_recent.list();
    if (files.isEmpty())
        mnyRecent->addAction(QStringLiteral("（なし）"))->setEnabled(false);
    for (const QString &file : files)
        mnyRecent->addAction(file, this, [this, file] { openRecentFile(file); });
}

void MainForm::openRecentFile(const QString &file)
{
    if (!QFileInfo(file).isFile()) {
        m_recent.remove(file);
        statusBar()->showMessage(QStringLiteral("ファイル「%1」はもうありません。一覧から外しました。").arg(file), 10000);
        return;
    }
    m_session->openNamedFile(file);
}

void MainForm::showCaretPlace()
{
    const QTextCursor caret = MainText->textCursor();
    const QTextBlock block = caret.block();
    int column = caret.positionInBlock();
    // In a long line shown in pieces, the pieces before count.
    for (QTextBlock b = block; continuesLine(b) && b.previous().isValid(); b = b.previous())
        column += b.previous().length() - 1;
    const int line = MainText->caretLine();
    StaCaret->setText(QStringLiteral("行 %1、列 %2").arg(line + 1).arg(column + 1));
}

bool MainForm::dropFiles(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString file = url.toLocalFile();
        const QString suffix = QFileInfo(file).suffix().toLower();
        if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
            m_session->importFile(file);
        } else if (ImageSuffixes.contains(suffix)) {
            // The dictionary's own words for an image and its source.
            const TagTable &table = m_henkan.tagTable();
            const QString image = fromU16(std::u16string(table.LookupJapaneseName(u"img")));
            const QString source = fromU16(std::u16string(table.LookupJapaneseName(u"src")));
            const QString relative = QDir(m_session->WorkFolder()).relativeFilePath(file);
            insertAtCaret(QStringLiteral("＜%1　%2＝「%3」＞").arg(image, source, relative));
        } else {
            m_session->openNamedFile(file);
        }
        return true; // one file at a time: a document replaces the text
    }
    return false;
}

void MainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainForm::dropEvent(QDropEvent *event)
{
    if (dropFiles(event->mimeData()))
        event->acceptProposedAction();
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MainText->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            if (dropFiles(drop->mimeData())) {
                drop->acceptProposedAction();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace qrn
