#pragma once

#include <QString>
#include <QTextBlock>
#include <QTextBlockFormat>

class QTextCursor;

namespace qrn {

// A line of the document far longer than the editor shows is held in pieces, one block of the
// widget each, so that no block is ever laid out whole. A block that is a piece after the first
// carries a mark in its block format; the document's text joins it to the block before.

bool continuesLine(const QTextBlock &block);
QTextBlockFormat pieceFormat();

// Inserts text at the cursor as the user types or pastes it: each line break starts a new line,
// never a piece, whatever block the cursor is in.
void insertLines(QTextCursor &cursor, const QString &text);

} // namespace qrn
