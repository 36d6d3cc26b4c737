// What the module tells a browser about itself before loading it: the MIME type it plays, the
// file extension, the text of the open dialog's filter and its version. A loader on Linux reads
// the same data through the exported NP_GetMIMEDescription ("type:extensions:description").
#pragma once

namespace skv::plugin {

constexpr const char kMimeType[] = "application/vnd.skyvora";
constexpr const char kFileExtents[] = "skm";
constexpr const char kFileOpenName[] = "Skyvora Animation Stream (*.skm)";
constexpr const char kCompanyName[] = "Quillon";
constexpr const char kProductName[] = "Skyvora Viewer Plug-In 1.5";
constexpr const char kFileVersion[] = "1,7,7,300";
constexpr const char kInternalName[] = "SKYVORA";
constexpr const char kMimeDescription[] =
    "application/vnd.skyvora:skm:Skyvora Animation Stream (*.skm)";

} // namespace skv::plugin
