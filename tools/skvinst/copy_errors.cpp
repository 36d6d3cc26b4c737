#include "copy_errors.h"

#include "format.h"

namespace skvinst {

std::string copyErrorMessage(uint32_t code, const CopyAttempt& a) {
    const char* source = a.source.c_str();
    const char* target = a.target.c_str();
    const char* plugins = a.plugins.c_str();
    switch (code) {
    case 2: // ERROR_FILE_NOT_FOUND
        return formatText("One of the Quillon Skyvora Plug-in program files, %s, is missing.\n"
                          "Setup cannot install the software.",
                          source);
    case 3: // ERROR_PATH_NOT_FOUND
        return formatText("Unable to access the Netscape plugins directory %s.\n"
                          "One or more files could not be transferred to this directory.",
                          plugins);
    case 4: // ERROR_TOO_MANY_OPEN_FILES
        return "Setup has encountered the system error 'Too many open files'\n"
               "while attempting to open a file. Setup cannot continue.\n"
               "Please close some applications and try running Setup again.";
    case 5: // ERROR_ACCESS_DENIED
        return formatText("One of the Quillon Skyvora Plug-in program files,\n%s,\n"
                          "cannot be accessed. It may be a read-only file. You must exit Setup,\n"
                          "remove the read-only attribute from the Quillon program files, and\n"
                          "then run Setup again. The software could not be installed.",
                          target);
    case 14: // ERROR_OUTOFMEMORY
        return "Setup has encountered a system 'Out of memory' error.\n"
               "Setup cannot continue. Please close some applications\n"
               "and try running Setup again.";
    case 15: // ERROR_INVALID_DRIVE
        return formatText("Unable to access the Netscape plugins directory:\n%s\n"
                          "due to system error 'Invalid Drive'. Setup cannot continue.\n"
                          "The software could not be installed.",
                          plugins);
    case 32: // ERROR_SHARING_VIOLATION
        return formatText("One of the Quillon Skyvora Plug-in program files,\n%s,\n"
                          "is currently in use. You must exit Setup, exit Netscape,\n"
                          "and then run Setup again. The software could not be installed.",
                          target);
    case 39:  // ERROR_HANDLE_DISK_FULL
    case 112: // ERROR_DISK_FULL
        return formatText("Unable to transfer files to %s\n"
                          "because the target disk is full. You must exit Setup, free some disk "
                          "space on the target disk,\nand then run Setup again.",
                          plugins);
    case 206: // ERROR_FILENAME_EXCED_RANGE
        return formatText("The path for the program file\n'%s'\n"
                          "exceeds the maximum path length allowed on this system.\n"
                          "Unable to install the Skyvora program files into\n%s.",
                          target, plugins);
    default:
        return formatText("System Error %d occurred transferring %s to %s. The software could "
                          "not be installed.",
                          static_cast<int>(code), source, target);
    }
}

} // namespace skvinst
