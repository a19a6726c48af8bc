#pragma once
// Russian texts for operating-system errors, so that no English system message
// ever reaches the operator. Depends on nothing but the C++ library.

#include <string>

namespace base {

// The reason for an errno value in Russian, e.g. "на диске нет места" for
// ENOSPC; an unknown value gives "системная ошибка N".
std::string systemErrorText(int errorNumber);

// True for the errors whose cause is the directory rather than the file in it
// (missing, not a directory, write-protected or read-only file system).
bool isDirectoryError(int errorNumber);

// Why a path that a stat gave `mode` for is refused where a regular file is
// needed, e.g. "это каталог, а не обычный файл"; empty for a regular file.
std::string notRegularFileText(unsigned mode);

}  // namespace base
