#pragma once
// The temporary files the workbook library writes while it builds a workbook (the sheet's rows,
// then each part of the file before it is compressed), made and watched by this program.
//
// The library asks for each such file through its function lxw_tmpfile, which this program
// defines itself and so takes the place of the library's own (the library calls it through
// the dynamic linker). The files made here:
// - have no name at all (O_TMPFILE, or removed as soon as made), so none is ever seen in the
//   data folder, even after the program was killed;
// - count what is read and written, so the compression at the end, which runs inside the
//   library, still moves the bar and can be cancelled: a read or write fails once cancelled;
// - remember the first error of a read or write (a full disk), which the library itself does
//   not look at for the sheet's rows;
// - are closed when the workbook is done with, whatever the library left open after it failed
//   or was abandoned, so a failed export holds no disk space.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace registry {

class WorkbookScratch {
public:
    // Files go into folder dir. keepGoing is asked at every read and write of them (from the
    // thread that writes the workbook); once it answers false they fail.
    WorkbookScratch(std::string dir, std::function<bool()> keepGoing);
    // Closes every file still open.
    ~WorkbookScratch();
    WorkbookScratch(const WorkbookScratch&) = delete;
    WorkbookScratch& operator=(const WorkbookScratch&) = delete;

    // A new file, or nullptr with Error() set.
    FILE* Create();

    std::uint64_t BytesRead() const { return m_read; }
    std::uint64_t BytesWritten() const { return m_written; }
    // The error number of the first call that failed, 0 for none.
    int Error() const { return m_error; }
    bool Stopped() const { return m_stopped; }

    // The scratch of the workbook the calling thread writes, or nullptr.
    static WorkbookScratch* Current();

    struct File;

private:
    friend struct ScratchCalls;
    bool allowed();
    void noteError(int error);

    std::string m_dir;
    std::function<bool()> m_keepGoing;
    std::vector<std::unique_ptr<File>> m_files;
    WorkbookScratch* m_outer;
    std::uint64_t m_read = 0;
    std::uint64_t m_written = 0;
    int m_error = 0;
    bool m_stopped = false;
};

// The number of characters a spreadsheet reads in a cell's text as the workbook holds it
// (UTF-8, with escapes): an escape "_xHHHH_" is the one character it stands for. The library
// counts the characters of each text it is given against a cell's limit through the function
// lxw_utf8_strlen, which this program also defines with this count, so that the escapes this
// program adds do not count against the limit.
std::size_t WorkbookCharacters(const char* utf8);

} // namespace registry
