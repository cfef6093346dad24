// Loading and saving aerovant.ini through the storage and the property sheet.
#include "frontend/settings/settings_file.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/crypto/secure_file_set.h"
#include "framework/platform/file_storage.h"
#include "frontend/startup/error_log.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr char source_name[] = "tvsettings";

// The whole file; false when it does not open or read.
bool read_file(IFileStorage* storage, const char* name, std::string* out) {
    ComRef<IByteStream> stream;
    if (storage->Open(name, OM_OPEN_READ, OM_OPEN_BINARY, stream.put()) < 0 || !stream)
        return false;
    out->clear();
    char buffer[4096];
    for (;;) {
        uint32_t got = 0;
        const OmResult r = stream->Read(buffer, sizeof buffer, &got);
        out->append(buffer, got);
        if (r == OM_E_ENDOFSTREAM || (r >= 0 && got < sizeof buffer)) return true;
        if (r < 0) return false;
    }
}

OmResult load_text(IPropertySheet* sheet, const std::string& text) {
    ComRef<IByteStream> stream;
    const OmResult r = OmNewStreamOfBytes(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, stream.put());
    if (r < 0) return r;
    return sheet->Load(stream.get());
}

bool is_header(const std::string& line) {
    const size_t p = line.find_first_not_of(" \t");
    return p != std::string::npos && line[p] == '[';
}

// Lines as the sheet splits them: at CR or LF.
std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\r' || c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

// The text without the lines the sheet refuses (each logged with its line number), and
// without the keys under a refused header.
std::string readable_text(const std::string& text, const char* name) {
    ComRef<IPropertySheet> probe;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, probe.put()) < 0) return {};
    std::string kept;
    bool under_broken_header = false;
    const std::vector<std::string> lines = split_lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        probe->Clear();
        const bool readable = load_text(probe.get(), line) >= 0;
        const std::string where = std::string(name) + " line " + std::to_string(i + 1);
        if (!readable) {
            TvWriteErrorLine2(source_name, __LINE__,
                              "Skipped an unreadable settings line:", where.c_str());
            if (is_header(line)) under_broken_header = true;
            continue;
        }
        if (is_header(line)) under_broken_header = false;
        if (under_broken_header) {
            TvWriteErrorLine2(
                source_name, __LINE__,
                "Skipped a setting under an unreadable section header:", where.c_str());
            continue;
        }
        kept += line;
        kept += '\n';
    }
    return kept;
}

OmResult write_file(IFileStorage* storage, const char* name, const std::string& bytes,
                    IPropertySheet* sheet) {
    ComRef<IByteStream> stream;
    OmResult r = storage->Open(name, OM_OPEN_WRITE, OM_OPEN_BINARY, stream.put());
    if (r < 0) return r;
    if (sheet) return sheet->Save(stream.get());
    return stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
}

} // namespace

TvSettingsFileState TvLoadSettingsFile(IFileStorage* storage, IPropertySheet* sheet,
                                       const char* name) {
    TvSettingsFileState state;
    if (!storage || !sheet || !read_file(storage, name, &state.bytes_as_read)) return state;
    state.read = true;
    const std::string& text = state.bytes_as_read;
    if (load_text(sheet, text) >= 0) {
        state.bytes_as_read.clear();
        return state;
    }
    state.damaged = true;
    sheet->Clear();
    load_text(sheet, readable_text(text, name));
    return state;
}

OmResult TvSaveSettingsFile(IFileStorage* storage, IPropertySheet* sheet, const char* name,
                            const TvSettingsFileState& state) {
    if (!storage || !sheet) return OM_E_FAIL;
    if (state.damaged) {
        const std::string backup = std::string(name) + TV_SETTINGS_BACKUP_SUFFIX;
        const OmResult r = write_file(storage, backup.c_str(), state.bytes_as_read, nullptr);
        // Without the backup the damaged lines would be lost for good: keep the file as is.
        if (r < 0) {
            TvWriteErrorLine2(source_name, __LINE__, "Couldn't keep the settings file as",
                              backup.c_str());
            return r;
        }
    }
    return write_file(storage, name, {}, sheet);
}
