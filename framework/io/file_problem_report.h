// Fatal problems found while reading files, reported as the debug log's fatal entries are.
#pragma once

// Reports `text` as fatal with every `parameter` ("{chunk}") in it replaced by `value`.
void OmReportFileProblem(const char* parameter, const char* value, const char* text);
