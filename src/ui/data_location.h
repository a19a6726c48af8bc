#pragma once
// The data directory the program opens, and its making on the first start of
// an installed program.

#include "toolkit/data_location.h"

#include <QString>

#include <string>

namespace ui {

struct PreparedData {
    std::string directory;   // what the windows open, with a trailing '/'
    QString notice;          // what the operator is told once; empty when nothing
    bool failed = false;     // the notice says why there is no data directory
};

// Makes `location`'s directory when it is not beside the executable and does
// not exist yet: a copy of the three tables of `templateDirectory`, owner-only
// (and its parent folder owner-only when that is made too). The notice then
// says where the data lives and how the licensed item texts are loaded. A
// missing template or a failed copy leaves no directory and a notice saying
// so. An existing directory is used as it is, without a notice.
PreparedData prepareDataDirectory(const toolkit::DataLocation& location, const QString& templateDirectory);

// The same for the running program: Data/ beside the executable, else
// $XDG_DATA_HOME/fpi/Data; the template in share/fpi/Data beside the
// executable's bin directory, so an unpacked package works under any root.
PreparedData prepareDataDirectory();

}  // namespace ui
