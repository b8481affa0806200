#pragma once

#include "UiTestSupport.h"

#include <core/HenkanMod.h>
#include <core/NewDocumentTemplate.h>
#include <document/DocumentSession.h>
#include <editor/EditorText.h>
#include <main/MainForm.h>
#include <main/TagPalette.h>

#include <QListWidget>
#include <QtTest>

#include <memory>

namespace qrn::test {

inline QStringList rowsOf(const QListWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows << list->item(i)->text();
    return rows;
}

// A main window on fakes, with its own program folder. A box or dialog nobody scripted, or a
// scripted one never shown, fails the test.
struct MainFormHarness {
    QTemporaryDir dir;
    HenkanMod henkan;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs *dialogs = nullptr;
    ScriptedWindows windows;
    FakePreviews previews;
    std::unique_ptr<MainForm> form;
    QString recoveryFolder; // the folder of recovery copies, when the window keeps them

    explicit MainFormHarness(bool withDataFiles = true, bool keepsCopies = false)
    {
        if (withDataFiles)
            makeProgramFolder(dir.path());
        if (keepsCopies)
            recoveryFolder = dir.filePath(QStringLiteral("recovery"));
        create();
    }
    ~MainFormHarness()
    {
        if (!scriptsUsed())
            QTest::qFail(qPrintable(QStringLiteral("a box or dialog unscripted or not shown: ") + boxes.unexpected.join(QLatin1Char('|'))),
                         __FILE__, __LINE__);
    }

    void create()
    {
        auto d = std::make_unique<ScriptedDialogs>();
        dialogs = d.get();
        form = std::make_unique<MainForm>(henkan, ProgramFolders(dir.path(), dir.path(), recoveryFolder), boxes, std::move(d),
                                          windows, previews.factory());
    }

    FakePreview &brw() const { return *previews.last; }
    QString path(const QString &name) const { return dir.filePath(name); }
    QString scratch() const { return path(QStringLiteral("Kiriko_WaitFile.htm")); }
    QString text() const { return form->MainText->text(); }
    DocumentSession &session() const { return form->session(); }

    void selectCategory(const QString &name) const
    {
        const auto items = form->Koumoku->findItems(name, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        form->Koumoku->setCurrentItem(items.first());
    }
    void doubleClickRow(const QString &row) const
    {
        const auto items = form->Naiyou->findItems(row, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        form->Naiyou->setCurrentItem(items.first());
        emit form->Naiyou->itemDoubleClicked(items.first());
    }
    QStringList paletteRows() const { return rowsOf(form->Naiyou); }

    // Every box and dialog that was shown was scripted, and every scripted one was shown.
    bool scriptsUsed() const
    {
        return boxes.unexpected.isEmpty() && boxes.allAnswered() && (!dialogs || (dialogs->unexpected == 0 && dialogs->allAnswered()));
    }
    void verifyScriptsUsed() const { QVERIFY2(scriptsUsed(), qPrintable(boxes.unexpected.join(QLatin1Char('|')))); }
};

} // namespace qrn::test
