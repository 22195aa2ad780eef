#include "printer_pages.h"

#include "screenshot.h"
#include "zx81.h"

namespace {

// The paper's aluminium and the dots the stylus burns through it.
constexpr uint8_t paper_grey = 0xC8, dot_grey = 0x18;

bool write_paper(const std::string& path, const std::vector<PaperRow>& rows, std::string& problem) {
    return write_png_file(path, paper_png(rows), problem);
}

}  // namespace

std::vector<uint8_t> paper_png(const std::vector<PaperRow>& rows) {
    std::vector<uint8_t> grey;
    grey.reserve(rows.size() * paper_dots);
    for (const PaperRow& row : rows)
        for (int x = 0; x < paper_dots; ++x) grey.push_back(dot_burnt(row, x) ? dot_grey : paper_grey);
    return png_of(grey, paper_dots, static_cast<int>(rows.size()), true);
}

std::string printout_path(std::time_t when) {
    return picture_path("orlix-print-", when);
}

PageWritten serve_printer(Zx81& machine, PrinterPages& pages, std::time_t now, bool all) {
    PrinterPaper* paper = printer_paper(machine);
    if (!paper || paper->rows.empty()) return {};
    if (!all && !page_finished(*paper, static_cast<int64_t>(machine.cycles_run))) return {};
    std::vector<PaperRow> page = std::move(paper->rows);
    paper->rows.clear();
    PageWritten written;
    if (pages.file.empty()) {
        written.path = printout_path(now);
        write_paper(written.path, page, written.problem);
        return written;
    }
    pages.printed.insert(pages.printed.end(), page.begin(), page.end());
    written.path = pages.file;
    write_paper(written.path, pages.printed, written.problem);
    return written;
}
