// The HTML tokenizer: reads a page line by line from a byte stream and hands out its words.
// The structural characters [ ] { } # < > = ! always stand as words of their own; a double
// quote keeps blanks inside one word.
#pragma once

#include "framework/io/byte_stream.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Longest line kept; the byte that does not fit is dropped and ends the line.
inline constexpr size_t HTML_LINE_LIMIT = 1023;
// Longest word kept; the rest of a longer word is dropped.
inline constexpr size_t HTML_WORD_LIMIT = 127;

class HtmlTokenizer {
public:
    // Reads from `stream`, which must outlive the tokenizer (no reference is taken).
    explicit HtmlTokenizer(IByteStream* stream) : stream_(stream) {}

    // The next word, cut to size - 1 characters (size counts the terminator, as the word
    // buffers of the parser do). OM_E_ENDOFSTREAM at the end of the text.
    OmResult nextHtmlToken(std::string& word, size_t size);
    // The next nextHtmlToken returns this word; words pushed back one after the other come
    // out in reverse order.
    void pushBackHtmlToken(std::string_view word);
    // Reads words up to and including the first whose lower-case form equals `word`.
    // OM_E_ENDOFSTREAM when the text ends first.
    OmResult skipHtmlToToken(std::string_view word);
    // The next word in lower case must equal `word`: else OM_E_FAIL (the word is consumed),
    // or OM_E_ENDOFSTREAM at the end of the text.
    OmResult expectHtmlToken(std::string_view word);

    // Splits one line into words as the tokenizer does (exposed for tests).
    static void splitHtmlLine(std::string_view line, std::vector<std::string>& words);

private:
    // Reads the next line into `line`; false at the end of the text.
    bool readLine(std::string& line);

    IByteStream* stream_;
    std::vector<std::string> words_;
    size_t position_ = 0;
    bool ended_ = false;
    std::string line_;
};

// A lower-case copy (A-Z only).
std::string htmlLower(std::string_view text);
