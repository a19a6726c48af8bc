#pragma once
// New table files for a data directory, built under a temporary name and put
// in place together, so that neither a failure nor a killed process leaves
// some of them under their own names, and a copy of personal data left by a
// killed run does not outlive the next run.
//
// The temporary directory carries the id of the process that builds in it:
// ".NAME.fpi-new-PID" beside a directory that is made whole, or
// ".fpi-new-PID" inside an existing directory. Every run first removes the
// temporaries of processes that no longer exist; those of a live process are
// left alone and never read. A process builds one set of tables for a
// directory at a time.

#include <string>
#include <vector>

namespace store {

class NewTables {
public:
    enum class Target {
        NewDirectory,            // the directory must not exist; it appears whole, owner-only
        NewOrExistingDirectory,  // an existing directory gets the files, none of which may be there yet
    };

    // Removes what killed runs left for `directory`, refuses a directory (or,
    // in an existing one, a file of `fileNames`) that already exists, and
    // makes the temporary directory. Raises StoreError with a Russian message.
    NewTables(std::string directory, std::vector<std::string> fileNames, Target target);
    // Removes the temporary directory and everything in it unless placed.
    ~NewTables();
    NewTables(const NewTables&) = delete;
    NewTables& operator=(const NewTables&) = delete;

    // Where the caller builds the file `fileName` (one of fileNames).
    std::string path(const std::string& fileName) const;

    // Makes every file owner-only and writes it to disk, then puts all of
    // them in place: the whole directory by one rename, or each file into the
    // existing directory by a new link (never replacing a file), taking back
    // those already linked when one cannot be. Raises StoreError when a file
    // is missing, a target appeared meanwhile or the disk refuses.
    void place();

private:
    void placeDirectory();
    void placeFiles();

    std::string directory_;
    std::vector<std::string> fileNames_;
    std::string temporary_;
    bool intoExisting_ = false;
    bool placed_ = false;
};

// Removes the temporaries that killed runs left for `directory` (see above);
// an existing directory in which a killed run had linked only some of its
// files gets those files taken out again. Never raises.
void removeStaleTemporaries(const std::string& directory);

}  // namespace store
