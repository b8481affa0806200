#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace qrn {

// Every message box the program shows goes through this interface, so tests can script the
// answers and see each question asked.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // A fixed message: OK only, no icon, the application's name as title.
    virtual void information(QWidget *parent, const QString &text) = 0;
    // The save prompt: Yes and No, the critical-stop icon. True for Yes.
    virtual bool askToSave(QWidget *parent, const QString &text) = 0;
    // Any other Yes/No question, with the application's name as title. True for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
    // A failure the user has to know about (a file not written or not read): OK only, warning icon.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // A question with its own answers, `defaultButton` the one Enter chooses. The index of the
    // answer, or -1 when the box was closed without one.
    virtual int askChoice(QWidget *parent, const QString &text, const QStringList &buttons, int defaultButton) = 0;
};

// The real message boxes.
class QtMessageBoxes : public MessageBoxes {
public:
    void information(QWidget *parent, const QString &text) override;
    bool askToSave(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    int askChoice(QWidget *parent, const QString &text, const QStringList &buttons, int defaultButton) override;
};

} // namespace qrn
