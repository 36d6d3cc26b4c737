#include "notices.h"

#include "texts.h"

namespace skvinst {

int showNotice(HWND owner, const std::string& text, UINT type) {
    return MessageBoxA(owner, text.c_str(), texts::kCaption, type | MB_SETFOREGROUND);
}

int showNotice(HWND owner, const Notice& notice) {
    return showNotice(owner, notice.text, notice.errorIcon ? MB_ICONERROR : MB_OK);
}

} // namespace skvinst
