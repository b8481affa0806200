#include "frmAbout.h"

#include "TwipGeometry.h"

#include "MessageBoxes.h"
#include <core/Version.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStyle>

namespace qrn {

std::optional<QString> findSystemInfoTool()
{
    return std::nullopt;
}

frmAbout::frmAbout(MessageBoxes &messages, QWidget *parent) : QDialog(parent), m_messages(messages)
{
    setModal(true);
    setFixedSize(twipsX(this, 5730), twipsY(this, 2385));

    auto *Shape1 = new QFrame(this);
    Shape1->setFrameShape(QFrame::Box);
    Image1 = new QLabel(this);
    Image1->setPixmap(QApplication::windowIcon().isNull()
                          ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                          : QApplication::windowIcon().pixmap(32, 32));
    lblTitle = new QLabel(this);
    lblVersion = new QLabel(this);
    auto *lineDark = new QFrame(this);
    lineDark->setFrameShape(QFrame::HLine);
    lineDark->setFrameShadow(QFrame::Sunken);
    lblDisclaimer = new QLabel(QStringLiteral("日本語タグでホームページを作るエディタです。\n"
                                              "作ったページは自分の責任で公開してください。"),
                               this);
    lblDisclaimer->setWordWrap(true);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);

    placeTwips(Shape1, 240, 240, 540, 540);
    placeTwips(Image1, 255, 255, 510, 510);
    placeTwips(lblTitle, 1050, 240, 4440, 300);
    placeTwips(lblVersion, 1050, 600, 4440, 300);
    placeTwips(lineDark, 120, 1020, 5490, 30);
    placeTwips(lblDisclaimer, 240, 1140, 3840, 1125);
    placeTwips(cmdOK, 4245, 1140, 1260, 375);
    placeTwips(cmdSysInfo, 4245, 1590, 1260, 375);

    // OK is both the default and the cancel button: Enter and Esc press it.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
    Form_Load();
}

void frmAbout::Form_Load()
{
    const QString title = QApplication::applicationName();
    setWindowTitle(title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision));
    lblTitle->setText(title);
}

void frmAbout::StartSysInfo()
{
    const std::optional<QString> tool = findSystemInfoTool();
    if (tool && QProcess::startDetached(*tool, {}))
        return;
    m_messages.information(this, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));
}

} // namespace qrn
