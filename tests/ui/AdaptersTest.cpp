// The real dialog and message-box adapters and Qt's translations, driven offscreen: each modal
// window is found from inside its own event loop, its state recorded, and then closed.

#include <app/QtTranslations.h>
#include <core/Version.h>
#include <dialogs/DialogService.h>
#include <dialogs/MessageBoxes.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>

using namespace qrn;

namespace {

// Hands the next modal window to `handle` once it is shown, from inside the loop that runs it. Any
// other modal window, and one its handler left open, is rejected: a test fails instead of hanging.
template <typename Window>
class NextModal {
public:
    explicit NextModal(std::function<void(Window *)> handle) : m_handle(std::move(handle))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (m_starting || !modal || !modal->isVisible())
                return;
            if (auto *window = qobject_cast<Window *>(modal); window && !handled) {
                // Handled outside this slot, so the watch goes on for a window the handler opens.
                handled = m_starting = true;
                QTimer::singleShot(0, window, [this, window] {
                    m_starting = false;
                    m_handle(window);
                });
            } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
                dialog->reject();
            }
        });
        m_timer.start();
    }

    bool handled = false;

private:
    std::function<void(Window *)> m_handle;
    bool m_starting = false;
    QTimer m_timer;
};

QString canonical(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

} // namespace

class AdaptersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationName(QString::fromUtf8(AppName)); }
    void fileDialogsStartWhereTheSettingPointsAndReturnTheChoice();
    void messageBoxesOfferTheSafeAnswerFirst_data();
    void messageBoxesOfferTheSafeAnswerFirst();
    void choiceBoxAnswersWithTheCallersIndex();
    void qtTextsAreJapanese();
};

void AdaptersTest::fileDialogsStartWhereTheSettingPointsAndReturnTheChoice()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("site")));
    const QString pattern = dir.filePath(QStringLiteral("site")) + QDir::separator() + QStringLiteral("*.html");
    const QString page = dir.filePath(QStringLiteral("page.qrnf"));
    QVERIFY(QFile(page).open(QIODevice::WriteOnly));
    QtDialogService dialogs;
    QString directory;
    QStringList filters, selected;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    const auto look = [&](QFileDialog *d) {
        directory = canonical(d->directory().absolutePath());
        filters = d->nameFilters();
        selected = d->selectedFiles();
        mode = d->acceptMode();
    };

    // A pattern: the dialog starts in its folder; cancelled, the setting keeps the pattern.
    dialogs.FileName = pattern;
    dialogs.Filter = QStringLiteral("使用可能なページファイル|*.htm;*.html;*.qrnf|HTMLファイル|*.html;*.htm");
    {
        NextModal<QFileDialog> next([&](QFileDialog *d) { look(d); d->reject(); });
        QVERIFY(!dialogs.ShowSave(nullptr));
        QVERIFY(next.handled);
    }
    QCOMPARE(directory, canonical(dir.filePath(QStringLiteral("site"))));
    QCOMPARE(mode, QFileDialog::AcceptSave);
    QCOMPARE(filters, (QStringList{QStringLiteral("使用可能なページファイル (*.htm *.html *.qrnf)"),
                                   QStringLiteral("HTMLファイル (*.html *.htm)")}));
    QCOMPARE(dialogs.FileName, pattern);

    // A file: the dialog starts at it, and the choice becomes the setting in the platform's form.
    dialogs.FileName = page;
    dialogs.Filter = QStringLiteral("日本語タグファイル|*.qrnf");
    {
        // QFileDialog::accept checks the chosen file: QDialog's closes the dialog as it is.
        NextModal<QFileDialog> next([&](QFileDialog *d) { look(d); static_cast<QDialog *>(d)->accept(); });
        QVERIFY(dialogs.ShowOpen(nullptr));
        QVERIFY(next.handled);
    }
    QCOMPARE(directory, canonical(dir.path()));
    QCOMPARE(filters, QStringList{QStringLiteral("日本語タグファイル (*.qrnf)")});
    QCOMPARE(selected.size(), 1);
    QCOMPARE(canonical(selected.constFirst()), canonical(page));
    QCOMPARE(canonical(dialogs.FileName), canonical(page));
    QCOMPARE(dialogs.FileName, QDir::toNativeSeparators(dialogs.FileName));
}

void AdaptersTest::messageBoxesOfferTheSafeAnswerFirst_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<bool>("enterAnswers"); // what Enter answers, for the questions
    QTest::newRow("information") << 0 << int(QMessageBox::NoIcon) << int(QMessageBox::Ok) << int(QMessageBox::Ok) << false;
    // Enter at the save prompt keeps the work.
    QTest::newRow("save prompt") << 1 << int(QMessageBox::Critical) << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Yes) << true;
    QTest::newRow("other question") << 2 << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No) << false;
    QTest::newRow("error") << 3 << int(QMessageBox::Warning) << int(QMessageBox::Ok) << int(QMessageBox::Ok) << false;
}

void AdaptersTest::messageBoxesOfferTheSafeAnswerFirst()
{
    QFETCH(int, kind);
    // A file name in a message is shown as it is, markup-like or not.
    const QString text = QStringLiteral("<h1>.qrnf を保存できません。");
    NextModal<QMessageBox> next([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QString::fromUtf8(AppName));
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QTEST(int(box->icon()), "icon");
        QTEST(int(box->standardButtons()), "buttons");
        QTEST(int(box->standardButton(box->defaultButton())), "defaultButton");
        QTest::keyClick(box, Qt::Key_Return);
    });
    QtMessageBoxes boxes;
    bool answer = false;
    switch (kind) {
    case 0: boxes.information(nullptr, text); break;
    case 1: answer = boxes.askToSave(nullptr, text); break;
    case 2: answer = boxes.askYesNo(nullptr, text); break;
    default: boxes.error(nullptr, text); break;
    }
    QVERIFY(next.handled);
    QTEST(answer, "enterAnswers");
}

void AdaptersTest::choiceBoxAnswersWithTheCallersIndex()
{
    const QStringList answers{QStringLiteral("UTF-8 で保存"), QStringLiteral("「?」に置き換えて保存"), QStringLiteral("キャンセル")};
    for (const int defaultAnswer : {0, 2}) {
        QStringList captions;
        QString defaultCaption;
        NextModal<QMessageBox> next([&](QMessageBox *box) {
            for (const QAbstractButton *b : box->buttons())
                captions << b->text();
            defaultCaption = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(QtMessageBoxes().askChoice(nullptr, QStringLiteral("<b>文字</b>"), answers, defaultAnswer), defaultAnswer);
        QVERIFY(next.handled);
        QCOMPARE(captions, answers);
        QCOMPARE(defaultCaption, answers[defaultAnswer]);
    }
}

void AdaptersTest::qtTextsAreJapanese()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_ja.qm")))
        QSKIP("Qt's Japanese translations (qtbase_ja.qm) are not installed");
    const QString english = QCoreApplication::translate("QPlatformTheme", "Cancel");
    {
        QTranslator translator;
        QVERIFY(installQtTranslations(translator));
        const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
        QVERIFY2(std::any_of(cancel.begin(), cancel.end(), [](QChar c) { return c.unicode() > 0x3000; }), qPrintable(cancel));
        // What the user sees: the buttons of a real message box.
        QString yes;
        NextModal<QMessageBox> next([&](QMessageBox *box) {
            yes = box->button(QMessageBox::Yes)->text();
            box->reject();
        });
        QtMessageBoxes().askYesNo(nullptr, QStringLiteral("?"));
        QVERIFY(next.handled);
        QVERIFY2(!yes.contains(QStringLiteral("Yes")) && !yes.isEmpty(), qPrintable(yes));
    }
    // The translator leaves with its owner.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), english);
}

QTEST_MAIN(AdaptersTest)
#include "AdaptersTest.moc"
