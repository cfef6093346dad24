// Writing the generated files under the output directory.
#include "tools/demodata/output_tree.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace demodata {

bool OutputTree::fail(const std::string& message) {
    if (error_.empty()) error_ = message;
    return false;
}

bool OutputTree::make_parent(const std::string& relative) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path(), ec);
    return !ec || fail("cannot make the directory of " + relative + ": " + ec.message());
}

bool OutputTree::write(const std::string& relative, const std::vector<uint8_t>& bytes) {
    if (!make_parent(relative)) return false;
    const std::string full = path(relative);
    // An unchanged file keeps its time stamp, so nothing that depends on it rebuilds.
    {
        std::ifstream in(full, std::ios::binary);
        if (in) {
            const std::vector<uint8_t> old{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
            if (old == bytes) {
                written_.push_back(relative);
                return true;
            }
        }
    }
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) return fail("cannot write " + full);
    written_.push_back(relative);
    return true;
}

bool OutputTree::write_text(const std::string& relative, const std::string& text) {
    return write(relative, std::vector<uint8_t>(text.begin(), text.end()));
}

} // namespace demodata
