// Files opened with CreateFileA, and the share modes that hold between their handles.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "kernel.h"

namespace skv::platform::kernel {

class FileObj final : public KObject {
public:
    FileObj() : KObject(Kind::File) {}
    ~FileObj() override; // leaves the share table, deletes a delete-on-close file, closes

    int fd = -1;
    DWORD access = 0;
    DWORD share = 0;
    bool deleteOnClose = false;
    std::string absolutePath; // for delete-on-close
    dev_t dev = 0;
    ino_t ino = 0;
    bool shareListed = false;
};

// Opens or creates a file as CreateFileA does; null with the last error set on failure. On
// success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS found the file,
// else NO_ERROR.
std::shared_ptr<FileObj> openFile(const char* name, DWORD access, DWORD share, DWORD disposition,
                                  DWORD flags);

// True when a handle of this process has the file open without allowing it to be deleted.
bool openWithoutDeleteSharing(dev_t dev, ino_t ino);

} // namespace skv::platform::kernel
