#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QPushButton;

namespace qrn {

class MessageBoxes;

// Where the platform's system information tool lives, if the platform has one. Without the
// registry that names it, there is none; a build for such a platform supplies the lookup here.
std::optional<QString> findSystemInfoTool();

// The About box: the application's title and version, and a button for the system information tool.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(MessageBoxes &messages, QWidget *parent = nullptr);

    QLabel *lblTitle, *lblVersion, *lblDisclaimer, *Image1;
    QPushButton *cmdOK, *cmdSysInfo;

    void Form_Load();
    void StartSysInfo();

private:
    MessageBoxes &m_messages;
};

} // namespace qrn
