#include "Form2.h"

#include "TwipGeometry.h"

#include <preview/PreviewView.h>
#include <storage/ProgramFiles.h>

namespace qrn {

Form2::Form2(const QString &programFolder, const BrowserFactory &createBrowser)
    : HelpBrw(createBrowser(this)), m_programFolder(programFolder)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("QRNマニュアル"));
    HelpBrw->widget()->setParent(this);
    resize(twipsX(this, 9840), twipsY(this, 7140));
    Form_Load();
    Form_Resize();
}

void Form2::Form_Load()
{
    HelpBrw->navigate(joinPath(joinPath(m_programFolder, HelpFolderName), HelpIndexFileName));
}

void Form2::Form_Resize()
{
    fitToWindowMargins(this, HelpBrw->widget());
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

} // namespace qrn
