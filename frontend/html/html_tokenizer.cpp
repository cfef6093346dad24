// HTML tokenizer: line reader, word splitter and the word queue with push-back.
#include "frontend/html/html_tokenizer.h"

#include <algorithm>

namespace {

bool is_structural(char c) {
    switch (c) {
    case '[':
    case ']':
    case '{':
    case '}':
    case '#':
    case '<':
    case '>':
    case '=':
    case '!': return true;
    default: return false;
    }
}

} // namespace

std::string htmlLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return lower;
}

bool HtmlTokenizer::readLine(std::string& line) {
    line.clear();
    bool read_any = false;
    for (;;) {
        unsigned char byte = 0;
        uint32_t done = 0;
        if (stream_->Read(&byte, 1, &done) < 0 || done != 1) return read_any;
        read_any = true;
        if (byte == '\n') return true;
        if (byte < 0x20) continue;
        // The byte that does not fit is lost with the end of the line.
        if (line.size() == HTML_LINE_LIMIT) return true;
        line.push_back(char(byte));
    }
}

void HtmlTokenizer::splitHtmlLine(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    // Each structural character becomes blank, itself, blank. The expansion is held in a
    // buffer sized for the worst case (three bytes per input byte), so a long line full of
    // them cannot overrun it.
    std::string expanded;
    expanded.reserve(line.size() * 3);
    for (char c : line) {
        if (is_structural(c)) {
            expanded.push_back(' ');
            expanded.push_back(c);
            expanded.push_back(' ');
        } else {
            expanded.push_back(c);
        }
    }
    size_t i = 0;
    const size_t n = expanded.size();
    while (i < n) {
        while (i < n && expanded[i] == ' ') ++i;
        if (i == n) break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || expanded[i] != ' ')) {
            if (expanded[i] == '"') quoted = !quoted;
            if (word.size() < HTML_WORD_LIMIT) word.push_back(expanded[i]);
            ++i;
        }
        words.push_back(std::move(word));
    }
}

OmResult HtmlTokenizer::nextHtmlToken(std::string& word, size_t size) {
    while (position_ == words_.size()) {
        if (ended_ || !readLine(line_)) {
            ended_ = true;
            word.clear();
            return OM_E_ENDOFSTREAM;
        }
        splitHtmlLine(line_, words_);
        position_ = 0;
    }
    const std::string& next = words_[position_++];
    const size_t keep = size > 0 ? std::min(next.size(), size - 1) : 0;
    word.assign(next, 0, keep);
    return OM_S_OK;
}

void HtmlTokenizer::pushBackHtmlToken(std::string_view word) {
    words_.insert(words_.begin() + std::ptrdiff_t(position_), std::string(word));
}

OmResult HtmlTokenizer::skipHtmlToToken(std::string_view word) {
    std::string next;
    for (;;) {
        OmResult r = nextHtmlToken(next, HTML_WORD_LIMIT + 1);
        if (r < 0) return r;
        if (htmlLower(next) == word) return OM_S_OK;
    }
}

OmResult HtmlTokenizer::expectHtmlToken(std::string_view word) {
    std::string next;
    OmResult r = nextHtmlToken(next, HTML_WORD_LIMIT + 1);
    if (r < 0) return r;
    return htmlLower(next) == word ? OM_S_OK : OM_E_FAIL;
}
