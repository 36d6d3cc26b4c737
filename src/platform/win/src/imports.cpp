#include "imports.h"

#include <cstring>

namespace skv::platform::win {

void* rebindImport(HMODULE module, const char* library, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    if (!base) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), library) != 0) continue;
        const DWORD namesAt = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                                &protection))
                return nullptr;
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            FlushInstructionCache(GetCurrentProcess(), &slots->u1.Function,
                                  sizeof slots->u1.Function);
            return original;
        }
    }
    return nullptr;
}

} // namespace skv::platform::win
