#pragma once

#include <storage/TextEncoding.h>

#include <QString>

#include <string>

namespace qrn {

class EditorText;
class PreviewView;
class TagTable;

// The preview's refresh: the editor text converted, encoded in the charset the page declares,
// written to the scratch file of the work folder and shown in the pane (from memory when the
// file cannot be written); and the pane following the caret's line.
class PreviewRefresh {
public:
    PreviewRefresh(const TagTable &table, EditorText &editor, PreviewView &pane) : m_table(table), m_editor(editor), m_pane(pane) {}

    void refresh(const QString &workFolder);
    // Scrolls the pane to what the caret's line produced, near the caret's height in the editor,
    // when the caret moved to another line.
    void followCaret();

private:
    const TagTable &m_table;
    EditorText &m_editor;
    PreviewView &m_pane;
    // Buffers every keystroke's refresh reuses instead of allocating anew.
    std::u16string m_html;
    EncodeResult m_bytes;
    int m_caretLine = -1; // the line the pane last followed
};

} // namespace qrn
