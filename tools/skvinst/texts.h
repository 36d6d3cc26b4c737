// What Setup says: window titles, control texts it sets and its messages. The texts of the
// dialogs themselves are in skvinst.rc.
#pragma once

namespace skvinst::texts {

inline constexpr const char* kCaption = "Quillon Skyvora Plug-in Setup";

// ---- while starting --------------------------------------------------------------------------
inline constexpr const char* kTempDirInaccessible =
    "Setup cannot access the temp directory. The software has not been installed.";
inline constexpr const char* kLicenseMissing =
    "One of the Quillon Skyvora Plug-in program files, license.txt, is missing. Setup cannot "
    "install the software.";
// %s: the file's name.
inline constexpr const char* kFileMissing =
    "One of the Quillon Skyvora Plug-in program files, %s, is missing. Setup cannot install the "
    "software.";

// ---- the end of the installation -------------------------------------------------------------
inline constexpr const char* kLicenseDeclined =
    "You have chosen to cancel the installation. No files have been installed.";
inline constexpr const char* kNotCompleted =
    "Installation did not complete successfully. You will need to run\nSetup again in order to "
    "run the Skyvora software.";
inline constexpr const char* kCancelled =
    "Installation cancelled. You will need to run Setup\nagain in order to run the Skyvora "
    "software.";
inline constexpr const char* kBrowserNotFound =
    "The Netscape program directory could not be located on this computer.\nInstallation did not "
    "complete successfully. You will not be able to run the Skyvora software.";

// ---- the wait dialog -------------------------------------------------------------------------
inline constexpr const char* kConfirmCancel =
    "Are you sure you want to cancel the Install process?\n\nClick Yes to stop the Install or No "
    "to continue installing.";
inline constexpr const char* kSearchingDrive = "Searching for Netscape on %s";       // root
inline constexpr const char* kSearchingDirectory = "Searching %s";                   // directory
inline constexpr const char* kFoundPlugins = "Found Netscape Plugins Directory: %s"; // directory
inline constexpr const char* kTransferring = "Transferring file %s to %s";           // name, target

} // namespace skvinst::texts
