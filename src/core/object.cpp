#include "core/object.h"

#include <cstdio>
#include <memory>

#include "core/abandon.h"
#include "core/archive.h"
#include "core/guid.h"
#include "core/registry.h"

namespace skv {

skvObject::skvObject() {
    UuidCreate(&objectId);
}

void skvObject::serializeHeader(uArchive& ar) {
    if (ar.isStoring()) {
        storedSizeHint = sizeHint();
        ar.writeInt32(kTagNOBJ);
        ar.writeGuid(classId).writeGuid(objectId).writeGuid(auxId);
        ar.writeInt32(headerWord1).writeInt32(headerWord2).writeInt32(storedSizeHint);
    } else {
        (void)ar.readInt32(); // the tag is not checked
        classId = ar.readGuid();
        objectId = ar.readGuid();
        auxId = ar.readGuid();
        headerWord1 = ar.readInt32();
        headerWord2 = ar.readInt32();
        storedSizeHint = ar.readInt32();
    }
}

void skvObject::serialize(uArchive& ar) {
    if (ar.isStoring()) serializeHeader(ar);
}

skvObject* readObject(uArchive& ar) {
    return readObjectEx(ar, nullptr);
}

skvObject* readObjectEx(uArchive& ar, ObjectReadInfo* info) {
    skvObject header;
    try {
        header.serializeHeader(ar);
    } catch (...) {
        abandoned("readObject", "the object header: %s", caughtExceptionText().c_str());
        return nullptr;
    }
    if (info) {
        info->headerRead = true;
        info->classId = header.classId;
    }
    std::unique_ptr<skvObject, void (*)(skvObject*)> obj(createObject(header.classId),
                                                         [](skvObject* o) {
                                                             if (o) o->destroy();
                                                         });
    if (!obj) {
        abandoned("readObject", "no object of class %s can be made (%s)",
                  guidText(header.classId).c_str(),
                  isClassRegistered(header.classId) ? "its factory failed" : "not registered");
        std::printf("Unable to construct object of type %s\n", guidText(header.classId).c_str());
        return nullptr;
    }
    obj->serialize(ar);
    obj->objectId = header.objectId;
    obj->classId = header.classId;
    obj->auxId = header.auxId;
    obj->headerWord1 = header.headerWord1;
    obj->headerWord2 = header.headerWord2;
    obj->storedSizeHint = header.storedSizeHint;
    obj->flags = header.flags;
    return obj.release();
}

} // namespace skv
