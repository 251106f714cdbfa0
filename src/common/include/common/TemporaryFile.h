#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// A file being written to replace `target`: created in the target's folder
// under a unique hidden name, exclusively (never through an existing name or
// a planted link), so two runs to one target cannot share it. commit() puts it
// in place of the target; otherwise it is removed when the object goes, or
// when a signal handled by removeTemporaryFilesOnSignals() ends the process.
// The finished file gets the usual permissions of a new file.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // false, with a message naming the folder and the reason, when the file
    // cannot be created.
    bool open(const std::string& target, std::string& error);

    // The stream to write through (libpng takes it as it is). The first failed
    // write is kept: after it nothing more is written and commit() fails.
    FILE* stream() const { return file_; }
    bool write(const void* data, size_t bytes);
    bool rewriteStart(const void* data, size_t bytes);
    // Records a failure found by whoever wrote through stream().
    void fail(int error);

    // Flushes to the disk, closes and renames over the target; 0 or the errno
    // of the first failure (the temporary file is then removed).
    int commit();

    // Commits two files that belong together (a SigMF pair, `first` the data)
    // as one unit: both are written out before either is renamed; the two
    // renames are done with SIGINT, SIGTERM and SIGHUP held, and under a lock
    // on the first target's folder that other processes committing a pair
    // there wait for, so neither a signal nor a second run to the same names
    // leaves one file of one pair beside the other of another. Only a process
    // killed outright (SIGKILL, power loss) between the two renames can. 0 or
    // the errno of the first failure; a failure before the first rename
    // replaces nothing.
    static int commitPair(TemporaryFile& first, TemporaryFile& second);

    const std::string& target() const { return target_; }

private:
    int finish();         // flushes to the disk and closes: 0 or an errno
    int place(int error); // renames over the target unless `error`; cleans up on failure
    void forget();

    std::string target_;
    std::string path_;
    char* registered_ = nullptr;
    FILE* file_ = nullptr;
    int error_ = 0;
};

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove every
// temporary file still open and end the process with 128 + the signal's
// number (130, 143, 129). For command-line runs.
void removeTemporaryFilesOnSignals();
