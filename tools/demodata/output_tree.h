// The generated set's output directory: files written by relative path (directories made on
// the way), each written only when its bytes differ, and the first failure remembered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demodata {

class OutputTree {
public:
    explicit OutputTree(std::string root) : root_(std::move(root)) {}

    const std::string& root() const { return root_; }
    // The full path of a relative one ('/' separated).
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // Writes the bytes; false (and the error kept) when the file cannot be written.
    bool write(const std::string& relative, const std::vector<uint8_t>& bytes);
    bool write_text(const std::string& relative, const std::string& text);
    // Records a failure of a step that writes through its own writer.
    bool fail(const std::string& message);
    // Makes the directories of a relative file path.
    bool make_parent(const std::string& relative);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // Every relative path written, in writing order.
    const std::vector<std::string>& written() const { return written_; }
    void note_written(const std::string& relative) { written_.push_back(relative); }

private:
    std::string root_;
    std::string error_;
    std::vector<std::string> written_;
};

} // namespace demodata
