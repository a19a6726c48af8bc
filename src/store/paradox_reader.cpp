#include "store/paradox_reader.h"

#include "base/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace store::paradox {

namespace {

void requireRegularFile(const std::string& path, const struct stat& st)
{
    if (!S_ISREG(st.st_mode))
        accessError("Файл «" + path + "» не прочитан: " + base::notRegularFileText(st.st_mode));
}

struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() { ::close(fd); }
};

Cell realCell(double v) { Cell c; c.kind = Cell::Real; c.real = v; return c; }
Cell blobCell(std::string v) { Cell c; c.kind = Cell::Blob; c.bytes = std::move(v); return c; }

}  // namespace

[[noreturn]] void accessError(const std::string& message)
{
    throw ImportError(ImportError::Cause::FileAccess, message);
}

[[noreturn]] void damagedError(const std::string& message)
{
    throw ImportError(ImportError::Cause::DamagedTable, message);
}

// Why the last system call failed, in words the operator reads.
std::string systemReason()
{
    return base::systemErrorText(errno);
}

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string stemOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileBytes readWholeFile(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        accessError("Не удалось открыть файл «" + path + "» для чтения: " + systemReason());
    requireRegularFile(path, st);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        accessError("Не удалось открыть файл «" + path + "» для чтения: " + systemReason());
    const ClosedAtEnd closer{fd};
    if (::fstat(fd, &st) != 0)
        accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
    requireRegularFile(path, st);
    FileBytes bytes;
    bytes.reserve(std::size_t(st.st_size));
    unsigned char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

Cell integerCell(std::int64_t v) { Cell c; c.kind = Cell::Integer; c.integer = v; return c; }
Cell textCell(std::string v) { Cell c; c.kind = Cell::Text; c.bytes = std::move(v); return c; }

std::string MemoFile::value(const unsigned char* locator, const std::string& what)
{
    if (path_.empty())
        load(what);
    const std::optional<std::string> v = paradox::memoValue(bytes_, locator);
    if (!v)
        damagedError(what + ": значение не найдено в файле «" + path_ + "» (файл повреждён?)");
    return *v;
}

void MemoFile::load(const std::string& what)
{
    const std::string name = stemOf(tablePath_) + ".MB";
    const std::string path = findCaseInsensitive(directoryOf(tablePath_), name);
    if (path.empty())
        damagedError(what + ": нет файла «" + name + "», в котором хранятся длинные значения таблицы");
    bytes_ = readWholeFile(path);
    path_ = path;
}

ParadoxReader::ParadoxReader(const std::string& path)
    : path_(path), file_(readWholeFile(path)), header_(paradox::readHeader(file_, path)),
      decoder_(header_.codePage), memo_(path)
{
    if (!decoder_.valid())
        damagedError("Таблица «" + path + "» записана в кодовой странице " + std::to_string(decoder_.codePage())
                     + ", которая не поддерживается");
    // The library reads the very bytes that were checked, never the file again.
    stream_.reset(fmemopen(file_.data(), file_.size(), "rb"));
    if (!stream_)
        accessError("Не удалось прочитать файл «" + path + "»: " + systemReason());
    doc_.reset(PX_new3(&ParadoxReader::onError, nullptr, nullptr, nullptr, &libraryMessage_));
    if (!doc_ || PX_open_fp(doc_.get(), stream_.get()) < 0)
        damagedError("Не удалось прочитать таблицу «" + path + "» (" + libraryMessage_ + ")");
    if (PX_get_num_records(doc_.get()) != header_.recordCount || PX_get_recordsize(doc_.get()) != header_.recordSize)
        damagedError("Не удалось прочитать таблицу «" + path + "»: заголовок прочитан неоднозначно");
    record_.resize(std::size_t(header_.recordSize));
}

std::vector<Cell> ParadoxReader::record(std::int64_t n)
{
    if (!PX_get_record(doc_.get(), int(n), reinterpret_cast<char*>(record_.data())))
        damagedError("Не удалось прочитать запись " + std::to_string(n + 1) + " таблицы «" + path_ + "» ("
                     + libraryMessage_ + ")");
    std::vector<Cell> cells;
    cells.reserve(header_.fields.size());
    for (const Field& f : header_.fields)
        cells.push_back(cell(f, record_.data() + f.offset, n));
    return cells;
}

void ParadoxReader::onError(pxdoc_t*, int type, const char* message, void* data)
{
    if (type != PX_Warning && message)
        *static_cast<std::string*>(data) = message;
}

Cell ParadoxReader::cell(const Field& f, const unsigned char* p, std::int64_t n)
{
    if (allZero(p, f.length))
        return Cell{};
    const auto what = [&] {
        return "Таблица «" + path_ + "», запись " + std::to_string(n + 1) + ", поле " + fieldName(f);
    };
    // A value no valid table holds.
    const auto valid = [&](const std::optional<std::string>& text) {
        if (!text)
            damagedError(what() + ": недопустимое значение");
        return textCell(*text);
    };
    switch (f.type) {
    case FieldType::Alpha: {
        const auto end = std::find(p, p + f.length, 0);
        if (end == p)
            return Cell{};
        return textCell(decoder_.decode(reinterpret_cast<const char*>(p), std::size_t(end - p)));
    }
    case FieldType::Bytes:
        return blobCell(std::string(reinterpret_cast<const char*>(p), std::size_t(f.length)));
    case FieldType::Short:
    case FieldType::Long:
    case FieldType::AutoInc:
    case FieldType::Logical:
        return integerCell(paradox::storedInteger(p, f.length));
    case FieldType::Currency:
    case FieldType::Number:
        return realCell(paradox::storedNumber(p));
    case FieldType::Date:
        return valid(paradox::isoDate(paradox::storedInteger(p, 4)));
    case FieldType::Time:
        return valid(paradox::isoTime(paradox::storedInteger(p, 4)));
    case FieldType::Timestamp:
        return valid(paradox::isoTimestamp(paradox::storedNumber(p)));
    case FieldType::Bcd:
        return valid(paradox::decimalText(p, f.decimals));
    case FieldType::Memo:
    case FieldType::FormattedMemo:
    case FieldType::Blob:
    case FieldType::Ole:
    case FieldType::Graphic:
        return longValue(f, p, what());
    }
    return Cell{};
}

// The start of a memo or blob is kept in the record; a longer value is in the memo file.
Cell ParadoxReader::longValue(const Field& f, const unsigned char* p, const std::string& what)
{
    const std::size_t leader = std::size_t(f.length - 10);
    const unsigned char* locator = p + leader;
    const std::uint32_t size = paradox::memoLength(locator);
    if (size == 0)
        return Cell{};
    const std::string raw = size <= leader ? std::string(reinterpret_cast<const char*>(p), size)
                                           : memo_.value(locator, what);
    if (f.type == FieldType::Memo)
        return textCell(decoder_.decode(raw.data(), raw.size()));
    return blobCell(raw);
}

}  // namespace store::paradox
