#include "acquisition/run_host.h"

namespace kv {

bool takeReadOut(HistogramList& list, HistogramHandle listed, const Histogram& readOut) {
    Histogram* entry = list.find(listed);
    if (entry == nullptr) {
        return false;
    }
    entry->channels = readOut.channels;
    entry->total = readOut.total;
    entry->exposure = readOut.exposure;
    return true;
}

} // namespace kv
