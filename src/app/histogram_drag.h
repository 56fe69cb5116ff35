#pragma once

// The payload of a dragged list entry. Within one running copy the drag moves the entry; dropped
// on another copy's window it hands that copy the histogram. The payload therefore carries the
// dragging process's id, to tell the two apart, and the histogram as one histogram-file block
// (channel count, then the record, little-endian).

#include "model/histogram.h"

#include <QByteArray>

class QMimeData;

namespace kv {

inline constexpr char kEntryMimeType[] = "application/x-kvantira-list-entry";
inline constexpr char kHistogramMimeType[] = "application/x-kvantira-histogram";

QMimeData* makeEntryDragData(const Histogram& h);

// True for an entry dragged in this process.
bool isOwnEntryDrag(const QMimeData* data);

// The histogram block of a drag from another process; empty for anything else.
QByteArray foreignHistogramBlock(const QMimeData* data);

} // namespace kv
