// One histogram as it travels between running copies of the program (the drag payload): the
// channel count, then the record. The reader must refuse a block whose count is out of range or
// whose record is cut short, and a block it reads re-encodes to the same bytes. Receiving it
// adds exactly that record to a list that is empty or has its channel count; anything refused
// leaves the list, the document and the visible range as they were.

#include "fuzz_checks.h"
#include "model/byte_io.h"
#include "model/document.h"
#include "model/histogram_file.h"
#include "support/fake_ui_services.h"

#include <algorithm>

namespace {

using kv::fuzz::require;

constexpr std::int32_t kListedChannels = 8;

// The record as the list keeps it, but for the name, which the list renumbers.
bool sameRecordButName(const kv::Histogram& a, const kv::Histogram& b) {
    kv::Histogram renamed = a;
    renamed.name = b.name;
    return kv::encodeHistogramBlock(renamed) == kv::encodeHistogramBlock(b);
}

struct Receiver {
    kv::AppConfig config;
    kv::DocumentState state;
    kv::HistogramList list{state};
    kv::test::FakeUiServices ui;
    kv::Document document{list, config, state, ui};

    void holdOne() {
        auto h = std::make_unique<kv::Histogram>();
        h->channels.assign(kListedChannels, 7);
        list.setChannelCount(kListedChannels);
        list.addHistogram(std::move(h));
        state = {};
    }

    // Receives the block; readable is the histogram it holds, or null when it cannot be read.
    void receive(std::span<const std::uint8_t> block, const kv::Histogram* readable) {
        const int before = list.histogramCount();
        const std::int32_t channelsBefore = list.channelCount();
        const std::vector<std::uint8_t> firstBefore =
            before > 0 ? kv::encodeHistogramBlock(*list.histogramAt(0))
                       : std::vector<std::uint8_t>{};
        const kv::PlotSettings plotBefore = config.plot;
        const kv::DocumentState stateBefore = state;

        const auto channels = readable ? static_cast<std::int32_t>(readable->channels.size()) : 0;
        const bool fits = readable && (before == 0 || channels == channelsBefore);
        const bool added = document.receiveHistogram(block);
        require(added == fits, "a readable block is added exactly when its channel count fits");

        if (!added) {
            require(list.histogramCount() == before && list.channelCount() == channelsBefore &&
                        config.plot == plotBefore &&
                        state.documentSaved == stateBefore.documentSaved,
                    "a refused block changes nothing");
            require(before == 0 || kv::encodeHistogramBlock(*list.histogramAt(0)) == firstBefore,
                    "a refused block leaves the listed histograms as they were");
            require(!readable ||
                        ui.messageIds() == std::vector{kv::StringId::DifferentChannelCounts},
                    "a block of another channel count is refused with a message");
            return;
        }
        require(list.histogramCount() == before + 1 && list.currentIndex() == before,
                "a received block becomes the current, last entry");
        require(sameRecordButName(*readable, *list.currentHistogram()),
                "the list holds the record as it was sent");
        require(list.channelCount() == channels && !state.documentSaved,
                "the list takes the channel count and the document is changed");
        require(config.plot.firstChannel >= 0 &&
                    config.plot.firstChannel <= config.plot.lastChannel &&
                    config.plot.lastChannel < channels,
                "the visible range lies within the received spectrum");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = kv::fuzz::bytesOf(data, size);
    kv::SpanSource source(input);
    const std::unique_ptr<kv::Histogram> h = kv::readHistogramBlock(source);

    require((h != nullptr) == kv::fuzz::startsWithCompleteBlock(input),
            "a block is read exactly when its count is in range and its record complete");
    if (h) {
        require(h->channels.size() ==
                    static_cast<std::size_t>(kv::ByteReader(input.first(4)).i32le()),
                "the record has the block's channel count");
        const std::vector<std::uint8_t> again = kv::encodeHistogramBlock(*h);
        require(std::equal(again.begin(), again.end(), data),
                "a block read re-encodes to the bytes it came from");
    }

    Receiver empty;
    empty.receive(input, h.get());
    Receiver holding;
    holding.holdOne();
    holding.receive(input, h.get());
    return 0;
}
