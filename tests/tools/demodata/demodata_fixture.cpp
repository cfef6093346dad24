// The demo data tests' helpers.
#include "tests/tools/demodata/demodata_fixture.h"

#include "framework/io/memory_stream.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace demodatatest {

namespace fs = std::filesystem;

std::string program_dir() {
    return CORVEL_DEMO_PROGRAM_DIR;
}

std::string source_dir() {
    return CORVEL_DEMO_SOURCE_DIR;
}

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::vector<std::string> files_ending(const std::vector<std::string>& suffixes) {
    std::vector<std::string> out;
    const fs::path root = program_dir();
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_regular_file()) continue;
        const std::string r = fs::relative(e.path(), root).generic_string();
        if (r.starts_with("data/") || r == "corvel" || lower(r).ends_with(".txt")) continue;
        for (const std::string& s : suffixes)
            if (lower(r).ends_with(lower(s))) {
                out.push_back(r);
                break;
            }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

Ini::Ini(const std::string& relative) {
    const std::string text = read_text(program_dir() + "/" + relative);
    ComRef<IByteStream> stream;
    ComRef<IPropertySheet> sheet;
    if (text.empty() || OmNewMemoryStream(stream.put()) < 0 ||
        stream->Write(text.data(), uint32_t(text.size()), nullptr) < 0 ||
        stream->Seek(0, OM_SEEK_START, nullptr) < 0 ||
        OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) {
        ADD_FAILURE() << relative << " cannot be read";
        return;
    }
    if (sheet->Load(stream.get()) < 0) {
        ADD_FAILURE() << relative << " does not load into a property sheet";
        return;
    }
    sheet_ = std::move(sheet);
}

bool Ini::has_section(const char* section) const {
    return sheet_ && sheet_->SetSection(section) >= 0;
}

std::optional<std::string> Ini::get(const char* section, const char* key) const {
    char buffer[512];
    if (!sheet_ || sheet_->SetSection(section) < 0 ||
        sheet_->GetString(key, buffer, sizeof buffer) < 0)
        return std::nullopt;
    return std::string(buffer);
}

std::vector<std::string> Ini::keys(const char* section) const {
    std::vector<std::string> out;
    if (!sheet_ || sheet_->SetSection(section) < 0) return out;
    char name[OM_SHEET_NAME_SIZE];
    for (int32_t mode = OM_MOVE_FIRST; sheet_->MoveKey(name, nullptr, mode) >= 0;
         mode = OM_MOVE_NEXT)
        out.push_back(name);
    return out;
}

std::vector<std::string> Ini::sections() const {
    std::vector<std::string> out;
    if (!sheet_) return out;
    char name[OM_SHEET_NAME_SIZE];
    for (int32_t mode = OM_MOVE_FIRST; sheet_->MoveSection(mode) >= 0; mode = OM_MOVE_NEXT) {
        sheet_->GetSectionName(name);
        out.push_back(name);
    }
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool read_vector(const std::string& text, float out[3]) {
    return std::sscanf(text.c_str(), "%f %f %f", &out[0], &out[1], &out[2]) == 3;
}

} // namespace demodatatest
