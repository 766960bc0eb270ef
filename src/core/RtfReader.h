#pragma once
// Reads the text of an RTF document with its bold, italic and underline runs; escaped bytes are
// read in the code page of their font's character set, else the document's (\ansicpg; Western
// when absent or unknown). Pictures, fields' instructions, tables of fonts, colours and styles and
// other destinations are skipped. Any thread.

#include <QByteArray>
#include <QTextDocumentFragment>

#include <optional>

namespace RtfReader {
// Nothing when the data is not an RTF document.
std::optional<QTextDocumentFragment> read(const QByteArray &rtf);
} // namespace RtfReader
