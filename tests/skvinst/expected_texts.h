// What Setup must say, word for word, as its users know it.
#pragma once

#include <string>

namespace skvinst_test::expected {

inline constexpr const char* kCaption = "Quillon Skyvora Plug-in Setup";

inline constexpr const char* kLicensePrompt =
    "Please read the following License Agreement. Press the PAGE DOWN key to see the rest of the "
    "agreement.";
inline constexpr const char* kLicenseQuestion =
    "Do you accept all the terms of the preceding License Agreement? If you choose No, Setup will "
    "close. To install the Quillon Skyvora Plug-in, you must accept this agreement.";
inline constexpr const char* kDoneText =
    "Installation completed successfully!\r\rYou must restart Netscape Navigator before you will "
    "be able to run the Skyvora software.";
inline constexpr const char* kDoneThanks = "Thank you for choosing Skyvora!";
inline constexpr const char* kDoneNotes = "Display the Skyvora release notes";

inline constexpr const char* kDeclined =
    "You have chosen to cancel the installation. No files have been installed.";
inline constexpr const char* kConfirmCancel =
    "Are you sure you want to cancel the Install process?\n\nClick Yes to stop the Install or No "
    "to continue installing.";
inline constexpr const char* kCancelled =
    "Installation cancelled. You will need to run Setup\nagain in order to run the Skyvora "
    "software.";
inline constexpr const char* kNotCompleted =
    "Installation did not complete successfully. You will need to run\nSetup again in order to "
    "run the Skyvora software.";
inline constexpr const char* kNotFound =
    "The Netscape program directory could not be located on this computer.\nInstallation did not "
    "complete successfully. You will not be able to run the Skyvora software.";

inline std::string missing(const std::string& name) {
    return "One of the Quillon Skyvora Plug-in program files, " + name +
           ", is missing. Setup cannot install the software.";
}
inline std::string inUse(const std::string& target) {
    return "One of the Quillon Skyvora Plug-in program files,\n" + target +
           ",\nis currently in use. You must exit Setup, exit Netscape,\nand then run Setup again. "
           "The software could not be installed.";
}
inline std::string accessDenied(const std::string& target) {
    return "One of the Quillon Skyvora Plug-in program files,\n" + target +
           ",\ncannot be accessed. It may be a read-only file. You must exit Setup,\nremove the "
           "read-only attribute from the Quillon program files, and\nthen run Setup again. The "
           "software could not be installed.";
}

} // namespace skvinst_test::expected
