// The fatal entry goes to the error output in the debug log's entry form, so a damaged file
// is visible without stopping the reader.
#include "framework/io/file_problem_report.h"

#include <cstdio>
#include <string>

void OmReportFileProblem(const char* parameter, const char* value, const char* text) {
    if (!text) return;
    std::string entry = text;
    if (parameter && *parameter && value) {
        const std::string name = parameter, replacement = value;
        for (size_t at = entry.find(name); at != std::string::npos;
             at = entry.find(name, at + replacement.size()))
            entry.replace(at, name.size(), replacement);
    }
    std::fprintf(stderr, "[Fatal]\n%s\n\n", entry.c_str());
}
