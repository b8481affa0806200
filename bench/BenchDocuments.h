#pragma once

#include <core/TagTable.h>

#include <cstddef>
#include <string>

namespace qrn::bench {

// A dictionary of the given size: the words the documents use first, then generated ones.
TagTable makeDictionary(int entries);

// A Japanese-tag document of about `bytes` bytes of UTF-16: page text with a tag every 40 to 50
// characters, mixing dictionary words, unknown words and plain ASCII HTML.
std::u16string makeTagDocument(std::size_t bytes);

// A Markdown document of about `bytes` bytes (UTF-8) with a comparable share of markup.
std::string makeMarkdownDocument(std::size_t bytes);

} // namespace qrn::bench
