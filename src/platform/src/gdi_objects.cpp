// The GDI object table: a handle table of its own, tagged apart from the kernel's.
#include "gdi_objects.h"

#include "slot_table.h"

namespace skv::platform::gdi {

namespace {

SlotTable<GdiObject, 1>& table() {
    // Lives as long as the process: threads may outlive main.
    static auto* t = new SlotTable<GdiObject, 1>;
    return *t;
}

} // namespace

HGDIOBJ insertGdiObject(std::shared_ptr<GdiObject> object) {
    HGDIOBJ h = static_cast<HGDIOBJ>(table().insert(std::move(object), [](GdiObject&) {}));
    if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

HGDIOBJ insertStockObject(std::shared_ptr<GdiObject> object) {
    object->stock = true;
    return insertGdiObject(std::move(object));
}

std::shared_ptr<GdiObject> lookupGdiObject(HGDIOBJ h) {
    std::shared_ptr<GdiObject> o = table().lookup(h);
    if (!o) SetLastError(ERROR_INVALID_HANDLE);
    return o;
}

bool removeGdiObject(HGDIOBJ h) {
    if (table().remove(h, [](const std::shared_ptr<GdiObject>&) {})) return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

} // namespace skv::platform::gdi

using namespace skv::platform::gdi;

extern "C" {

BOOL DeleteObject(HGDIOBJ object) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    if (!o || !o->deletable()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (o->stock) return TRUE;
    if (o->selections.load() > 0) {
        // Still selected into a DC: the DC would go on drawing with it.
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return removeGdiObject(object) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ object) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    return o ? o->objectType() : 0;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(object);
    if (!o) return 0;
    int n = o->describe(size, buffer);
    if (n == 0) SetLastError(ERROR_INVALID_PARAMETER);
    return n;
}

} // extern "C"
