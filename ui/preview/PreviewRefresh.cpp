#include "PreviewRefresh.h"

#include "PreviewView.h"

#include <core/HenkanMod.h>
#include <editor/EditorText.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>
#include <storage/TextFile.h>

#include <QTextBlock>

#include <algorithm>

namespace qrn {

void PreviewRefresh::refresh(const QString &workFolder)
{
    const QString path = scratchFilePath(workFolder);
    ToHtml(toU16View(m_editor.text()), m_table, m_html);
    const QStringView html(m_html.data(), qsizetype(m_html.size()));
    // The scratch file holds what the export would: the page's bytes in the encoding it declares.
    encodeTextFileInto(html, pageFormat(html), Unmappable::CharacterReference, m_bytes);
    // A scratch file that cannot be written (a read-only folder, a full disk) does not stop the
    // preview: the pane shows the page from memory, as if it were that file.
    if (writeScratchFileAtomically(path, m_bytes.bytes).ok)
        m_pane.navigate(path);
    else
        m_pane.showUnsaved(path, m_bytes.bytes);
}

void PreviewRefresh::followCaret()
{
    const int line = m_editor.caretLine();
    if (line == m_caretLine)
        return;
    m_caretLine = line;
    const int height = std::max(1, m_editor.viewport()->height());
    const double fraction = std::clamp(m_editor.cursorRect().center().y() / double(height), 0.0, 1.0);
    m_pane.followLine(line, fraction);
}

} // namespace qrn
