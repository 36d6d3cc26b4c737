// The GDI object table: HPALETTE, HDC and the other GDI handles name objects kept here, apart
// from the kernel's handle table, as on Windows, where a GDI handle is not a kernel handle.
//
// A new kind of GDI object derives from GdiObject, gives itself a Kind and is entered with
// insertGdiObject; DeleteObject (or ReleaseDC/DeleteDC for DCs) takes it out.
#pragma once

#include <atomic>
#include <memory>

#include "platform/wingdi.h"

namespace skv::platform::gdi {

class GdiObject {
public:
    enum class Kind { Palette, DC, Bitmap, Brush, Region, Pen };

    explicit GdiObject(Kind kind) : kind_(kind) {}
    virtual ~GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Kind kind() const { return kind_; }
    // What GetObjectType answers (OBJ_PAL, OBJ_DC ...).
    virtual DWORD objectType() const = 0;
    // DeleteObject deletes every kind but DCs, which are given back with ReleaseDC or DeleteDC.
    virtual bool deletable() const { return true; }
    // GetObject: fills `buffer` (or, when it is null, answers the size it needs); 0 when the
    // kind has nothing to describe or the buffer is too small.
    virtual int describe(int size, void* buffer) const { return 0; }

    // A stock object survives DeleteObject (which still succeeds).
    bool stock = false;
    // How many DCs have the object selected; DeleteObject refuses while any has.
    std::atomic<int> selections{0};

private:
    Kind kind_;
};

// Enters a stock object: the same handle for the life of the process.
HGDIOBJ insertStockObject(std::shared_ptr<GdiObject> object);

// Enters `object`; null (ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HGDIOBJ insertGdiObject(std::shared_ptr<GdiObject> object);
// The object a handle names, or null (ERROR_INVALID_HANDLE).
std::shared_ptr<GdiObject> lookupGdiObject(HGDIOBJ h);
// Takes the handle out of the table; false (ERROR_INVALID_HANDLE) when it names nothing.
bool removeGdiObject(HGDIOBJ h);

template <class T> std::shared_ptr<T> lookupGdiObjectAs(HGDIOBJ h, GdiObject::Kind kind) {
    std::shared_ptr<GdiObject> o = lookupGdiObject(h);
    if (!o) return nullptr;
    if (o->kind() != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(std::move(o));
}

} // namespace skv::platform::gdi
