// HTML table layout: sizing columns and rows from their cells and distributing the table's
// size over them. Cells have no spans: a cell's column is its place in its row.
#include "frontend/html/html_document.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_pixels.h"

#include <algorithm>

namespace {

struct TableSizing {
    HtmlLayoutRun* run;
    int32_t width; // space available to the table
    int32_t height;
    std::vector<HtmlTrack> columns;
    std::vector<HtmlTrack> rows;
};

void widen(HtmlTrack& track, int32_t size, bool fixed) {
    track.size = std::max(track.size, size);
    track.fixed = track.fixed || fixed;
}

// A cell layout that only measures: the run may answer it from an earlier layout of the cell
// in the same space.
OmResult measure_cell(HtmlLayoutRun& run, IObjHash* cell, int32_t* width, int32_t* height) {
    const bool was_measuring = run.measuring;
    run.measuring = true;
    const OmResult r = layoutHtmlCell(run, cell, width, height);
    run.measuring = was_measuring;
    return r;
}

OmResult give_available_space(IObjHash* cell, int32_t, int32_t, void* data) {
    if (!cell) return OM_E_FAIL;
    auto* sizing = static_cast<TableSizing*>(data);
    OmResult r = cell->SetInt("_width", sizing->width);
    if (r >= 0) r = cell->SetInt("_height", sizing->height);
    return r;
}

OmResult measure_column(IObjHash* cell, int32_t column, int32_t, void* data) {
    if (!cell) return OM_E_FAIL;
    auto* sizing = static_cast<TableSizing*>(data);
    if (cell->Has("width")) {
        widen(sizing->columns[size_t(column)], cell->GetInt("width", 0), true);
        return OM_S_OK;
    }
    int32_t width = cell->GetInt("_width", 0), height = cell->GetInt("_height", 0);
    OmResult r = measure_cell(*sizing->run, cell, &width, &height);
    if (r < 0) return r;
    widen(sizing->columns[size_t(column)], width, false);
    return OM_S_OK;
}

OmResult give_column_width(IObjHash* cell, int32_t column, int32_t, void* data) {
    return cell->SetInt("_width", static_cast<TableSizing*>(data)->columns[size_t(column)].size);
}

OmResult measure_row(IObjHash* cell, int32_t, int32_t row, void* data) {
    auto* sizing = static_cast<TableSizing*>(data);
    if (cell->Has("height")) {
        widen(sizing->rows[size_t(row)], cell->GetInt("height", 0), true);
        return OM_S_OK;
    }
    int32_t width = cell->GetInt("_width", 0), height = cell->GetInt("_height", 0);
    OmResult r = measure_cell(*sizing->run, cell, &width, &height);
    if (r < 0) return r;
    widen(sizing->rows[size_t(row)], height, false);
    return OM_S_OK;
}

OmResult lay_out_final(IObjHash* cell, int32_t, int32_t row, void* data) {
    auto* sizing = static_cast<TableSizing*>(data);
    int32_t width = cell->GetInt("_width", 0);
    int32_t height = sizing->rows[size_t(row)].size;
    OmResult r = cell->SetInt("_height", height);
    if (r < 0) return r;
    return layoutHtmlCell(*sizing->run, cell, &width, &height);
}

// size x total / sum with the product formed first and the quotient truncated. Both are
// within twice the 32-bit range, so the product fits in 64 bits.
int32_t scale(int64_t size, int64_t total, int64_t sum) {
    if (sum == 0) return 0;
    return htmlPixels(size * total / sum);
}

} // namespace

OmResult forEachHtmlCell(IObjHash* table, HtmlCellCallback callback, void* data) {
    ICOMArray* rows = htmlArrayAt(table, "rows");
    const int32_t row_count = rows ? rows->Count() : 0;
    for (int32_t row = 0; row < row_count; ++row) {
        ICOMArray* cells = htmlArrayAt(htmlArrayNode(rows, row), "cells");
        const int32_t cell_count = cells ? cells->Count() : 0;
        for (int32_t column = 0; column < cell_count; ++column) {
            OmResult r = callback(htmlArrayNode(cells, column), column, row, data);
            if (r < 0) return r;
        }
    }
    return OM_S_OK;
}

void distributeHtmlTracks(std::vector<HtmlTrack>& tracks, bool explicit_size, int32_t* total) {
    int64_t sum = 0, fixed_sum = 0;
    for (const HtmlTrack& track : tracks) {
        sum += track.size;
        if (track.fixed) fixed_sum += track.size;
    }
    if (sum > *total) {
        if (fixed_sum <= *total) {
            for (HtmlTrack& track : tracks) {
                if (!track.fixed)
                    track.size = scale(track.size, *total - fixed_sum, sum - fixed_sum);
            }
        } else {
            for (HtmlTrack& track : tracks) track.size = scale(track.size, *total, sum);
        }
    } else if (explicit_size) {
        for (HtmlTrack& track : tracks) track.size = scale(track.size, *total, sum);
    } else {
        *total = htmlPixels(sum);
    }
}

OmResult sizeHtmlTable(HtmlLayoutContext& context, IObjHash* table, int32_t* width,
                       int32_t* height) {
    TableSizing sizing{context.run, *width, *height, {}, {}};
    int32_t table_width = table->GetInt("width", *width);
    int32_t table_height = table->GetInt("height", *height);

    ICOMArray* rows = htmlArrayAt(table, "rows");
    const int32_t row_count = rows ? rows->Count() : 0;
    int32_t column_count = 0;
    for (int32_t row = 0; row < row_count; ++row) {
        ICOMArray* cells = htmlArrayAt(htmlArrayNode(rows, row), "cells");
        column_count = std::max(column_count, cells ? cells->Count() : 0);
    }
    sizing.columns.resize(size_t(column_count));
    sizing.rows.resize(size_t(row_count));

    OmResult r = forEachHtmlCell(table, give_available_space, &sizing);
    if (r >= 0) r = forEachHtmlCell(table, measure_column, &sizing);
    if (r < 0) return r;
    distributeHtmlTracks(sizing.columns, table->Has("width") != 0, &table_width);
    r = forEachHtmlCell(table, give_column_width, &sizing);
    if (r >= 0) r = forEachHtmlCell(table, measure_row, &sizing);
    if (r < 0) return r;
    distributeHtmlTracks(sizing.rows, table->Has("height") != 0, &table_height);
    r = forEachHtmlCell(table, lay_out_final, &sizing);
    if (r < 0) return r;
    *width = table_width;
    *height = table_height;
    return OM_S_OK;
}
