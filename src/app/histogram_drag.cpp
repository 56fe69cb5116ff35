#include "app/histogram_drag.h"

#include "model/histogram_file.h"

#include <QCoreApplication>
#include <QMimeData>

namespace kv {

namespace {

QByteArray processTag() {
    return QByteArray::number(QCoreApplication::applicationPid());
}

} // namespace

QMimeData* makeEntryDragData(const Histogram& h) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kEntryMimeType), processTag());
    const std::vector<std::uint8_t> block = encodeHistogramBlock(h);
    data->setData(QString::fromLatin1(kHistogramMimeType),
                  QByteArray(reinterpret_cast<const char*>(block.data()),
                             static_cast<qsizetype>(block.size())));
    return data;
}

bool isOwnEntryDrag(const QMimeData* data) {
    return data && data->data(QString::fromLatin1(kEntryMimeType)) == processTag();
}

QByteArray foreignHistogramBlock(const QMimeData* data) {
    if (!data || isOwnEntryDrag(data)) {
        return {};
    }
    return data->data(QString::fromLatin1(kHistogramMimeType));
}

} // namespace kv
