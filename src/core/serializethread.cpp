#include "core/serializethread.h"

#include "core/abandon.h"
#include "core/archive.h"
#include "core/classids.h"
#include "core/guid.h"
#include "core/objectmanager.h"
#include "core/registry.h"
#include "core/status.h"

namespace skv {

void SerializeThread::requestStop() {
    int32_t expected = 0;
    stop_.compare_exchange_strong(expected, 1);
}

void SerializeThread::run() {
    manager_->beginStreaming();
    stream_->post(statusInt(stsSerializeThreadStarted));
    uArchive ar(input_, uArchive::kLoading);
    ar.setStreamVersion(stream_->streamVersion());

    bool sawScore = false, sawScriptRuntime = false, sawRateMap = false;
    EndReason reason = EndReason::Stopped;
    while (!stopRequested()) {
        skvObject* obj = nullptr;
        ObjectReadInfo info;
        {
            // Other threads that take this mutex stay out of an object under construction.
            NMTX_SCOPED(guard, &mutex_);
            try {
                obj = readObjectEx(ar, &info);
            } catch (...) {
                obj = nullptr;
                if (info.headerRead)
                    abandoned("SerializeThread", "object %d, of class %s: %s",
                              int(objectsRead_.load()), guidText(info.classId).c_str(),
                              caughtExceptionText().c_str());
                else
                    abandoned("SerializeThread", "object %d: %s", int(objectsRead_.load()),
                              caughtExceptionText().c_str());
            }
            if (obj) obj->attach(stream_);
        }
        if (!obj) {
            if (!stream_->isStopped()) stream_->post(statusInt(stsErrorSerialzingObject));
            bool unknown = info.headerRead && !isClassRegistered(info.classId);
            reason = unknown ? EndReason::UnknownClass : EndReason::ShortRead;
            if (unknown) endClassId_ = info.classId;
            break;
        }
        const GUID cls = obj->classId;
        if (guidEqual(cls, CLSID_skvRateMap)) {
            stream_->setRateMap(obj);
            sawRateMap = true;
        }
        manager_->add(obj);
        objectsRead_.fetch_add(1);
        stream_->objectRead(obj);
        if (guidEqual(cls, CLSID_skvScriptRuntime)) sawScriptRuntime = true;
        if (guidEqual(cls, CLSID_skvScore)) sawScore = true;
        if (sawScore && sawScriptRuntime && sawRateMap) stream_->setReady();
        if (guidEqual(cls, CLSID_NTrailer) || guidEqual(cls, CLSID_NChain)) {
            endClassId_ = cls;
            reason = EndReason::Marker;
            break;
        }
    }
    endReason_.store(reason);
    manager_->endStreaming();
    ar.detach(); // the pipe belongs to the movie stream
    stream_->post(statusInt(stsSerializeThreadStopped));
    drain();
    stop_.store(1);
}

void SerializeThread::drain() {
    // Whatever follows the end is read and dropped, never interpreted, until the codec thread
    // closes its end. This runs after a stop request too: a codec thread blocked on a full pipe
    // only gets to see its own stop request once the pipe has room again. Larger reads drop the
    // same bytes with fewer calls.
    uint8_t sink[4096];
    while (input_->read(sink, sizeof sink) == static_cast<int32_t>(sizeof sink)) {
    }
}

} // namespace skv
