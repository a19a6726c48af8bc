#pragma once
// Reading a Paradox table of an earlier installation: the file is read whole
// and checked before the library sees it, and each record comes out as the
// values a new table stores. Failures raise ImportError with a Russian
// message naming the file (and the record and field where one is at fault).

#include "store/paradox_header.h"
#include "store/paradox_import.h"
#include "store/paradox_values.h"

extern "C" {
#include <paradox.h>
}

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace store::paradox {

using FileBytes = std::vector<unsigned char>;

[[noreturn]] void accessError(const std::string& message);
[[noreturn]] void damagedError(const std::string& message);
// Why the last system call failed, in words the operator reads.
std::string systemReason();

std::string lowerAscii(std::string text);
std::string stemOf(const std::string& path);        // "Result" for "/x/Result.db"
std::string directoryOf(const std::string& path);   // "." for a bare name

// Reads a regular file whole. A directory, a named pipe or a device is refused
// before it is opened, and once more after, should the name have been replaced
// meanwhile; opening never waits for a writer of a pipe.
FileBytes readWholeFile(const std::string& path);

// One value of a record.
struct Cell {
    enum Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;   // text in UTF-8, or the bytes of a blob
};

Cell integerCell(std::int64_t v);
Cell textCell(std::string v);

// The memo file beside a table, read once a value does not fit in its record.
class MemoFile {
public:
    explicit MemoFile(std::string tablePath) : tablePath_(std::move(tablePath)) {}
    // The value the locator points at; `what` names the record and field.
    std::string value(const unsigned char* locator, const std::string& what);

private:
    void load(const std::string& what);

    std::string tablePath_;
    std::string path_;
    FileBytes bytes_;
};

// One Paradox table read through the library, from the bytes that were checked.
class ParadoxReader {
public:
    explicit ParadoxReader(const std::string& path);

    const std::string& path() const { return path_; }
    const Header& header() const { return header_; }
    std::string fieldName(const Field& f) const { return decoder_.decode(f.rawName.data(), f.rawName.size()); }

    // The values of record `n` (from 0), in field order.
    std::vector<Cell> record(std::int64_t n);

private:
    static void onError(pxdoc_t*, int type, const char* message, void* data);
    Cell cell(const Field& f, const unsigned char* p, std::int64_t n);
    Cell longValue(const Field& f, const unsigned char* p, const std::string& what);

    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    struct CloseDocument {
        void operator()(pxdoc_t* doc) const
        {
            PX_close(doc);
            PX_delete(doc);
        }
    };

    std::string path_;
    FileBytes file_;
    Header header_;
    TextDecoder decoder_;
    MemoFile memo_;
    FileBytes record_;
    std::string libraryMessage_ = "причина неизвестна";   // the library reports in English
    std::unique_ptr<std::FILE, CloseFile> stream_;
    std::unique_ptr<pxdoc_t, CloseDocument> doc_;   // closed before its stream
};

}  // namespace store::paradox
