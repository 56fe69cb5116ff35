#include "model/app_config.h"

#include "model/byte_io.h"

#include <algorithm>
#include <cmath>

namespace kv {
namespace {

// The single list of stored fields, in file order. It drives the encoder, the decoder and the
// compile-time layout check below, so each offset is written exactly once. Config is
// AppConfig or const AppConfig.
template <class Config, class Io> constexpr void configLayout(Config& c, Io& io) {
    io.text(0, c.documentPath, kPathFieldSize);
    io.text(256, c.lastDirectory, kPathFieldSize);
    io.field(512, c.plot.logScale);
    io.field(513, c.plot.fromZero);
    io.field(514, c.plot.xAxisMode);
    io.field(518, c.plot.yAxisMode);
    io.field(522, c.plot.showSelectedOnly);
    io.field(523, c.energyCalibration.calibrationReserve0);
    io.field(531, c.energyCalibration.calibrationReserve1);
    io.field(539, c.energyCalibration.pointChannel);
    io.field(579, c.energyCalibration.pointEnergy);
    io.field(619, c.energyCalibration.pointCount);
    io.field(623, c.filters.smoothRadius);
    io.field(627, c.filters.smoothSigma);
    io.field(635, c.filters.smoothKind);
    io.field(639, c.filters.smoothDialogFlag);
    io.field(640, c.lineSearch.rejectRadius);
    io.field(644, c.lineSearch.continuumSmoothRadius);
    io.field(648, c.singlePeakOption);
    io.text(649, c.analyser.lastName, kLastNameFieldSize);
    io.field(777, c.analyser.lastExposure);
    io.field(785, c.analyser.portBaseIndex);
    io.field(786, c.lineSearch.removeContinuum);
    io.field(787, c.lineSearch.searchRadii);
    io.field(807, c.lineSearch.levelFactor);
    io.field(815, c.lineSearch.maxPeakWidth);
    io.field(823, c.lineSearch.showOriginal);
    io.field(824, c.lineSearch.showLevel);
    io.field(825, c.lineSearch.showResult);
    io.field(826, c.analyser.autoSave);
    io.field(827, c.efficiency.efficiencyPointCount);
    io.field(831, c.identification.efficiencyCorrection);
    io.field(832, c.efficiency.efficiencyEnergy);
    io.field(992, c.efficiency.efficiencyValue);
    io.field(1152, c.identification.lineTolerance);
    io.field(1160, c.identification.lineThreshold);
    io.field(1168, c.identification.checkLines);
    io.field(1169, c.identification.linesNeeded);
    io.field(1173, c.energyCalibration.termCount);
    io.field(1177, c.energyCalibration.coefficients);
    io.field(1217, c.energyCalibration.channelScale);
    io.field(1221, c.lineSearch.searchTab);
    io.field(1225, c.identification.energyFrom);
    io.field(1233, c.identification.energyTo);
    io.field(1241, c.restoreFromDataFile);
    io.field(1242, c.analyser.threshold);
    io.field(1246, c.analyser.coincidenceMode);
    io.field(1250, c.analyser.gatingMode);
    io.field(1254, c.analyser.internalGating);
    io.field(1258, c.analyser.memoryMode);
    io.field(1262, c.analyser.interruptMode);
    io.field(1266, c.plot.firstChannel);
    io.field(1270, c.plot.lastChannel);
    io.field(1274, c.plot.roundRange);
    io.field(1275, c.layout.windowRect);
    io.field(1291, c.series.triggerPort);
    io.field(1295, c.series.cycleCount);
    io.field(1299, c.series.startOnHighLevel);
    io.text(1300, c.textExport.exportPath, kPathFieldSize);
    io.field(1556, c.textExport.exportOneFile);
    io.field(1557, c.textExport.exportNames);
    io.field(kLegacyCoefficientsOffset, c.countWindows.legacyWindowCoefficients);
    io.field(1606, c.countWindows.windowLower);
    io.field(1618, c.countWindows.windowUpper);
    io.field(1630, c.series.xrayExposure);
    io.field(1638, c.series.seriesInterval);
    io.field(1646, c.series.seriesMaxCount);
    io.field(1650, c.unused1650);
    io.field(1654, c.countWindows.expandedResult);
    io.field(1655, c.layout.reportWindowRect);
    io.field(1671, c.textExport.textAutoSave);
    io.field(1672, c.countWindows.autoShiftWindows);
    io.field(1673, c.countWindows.calibrationCoefficients);
    io.field(1721, c.countWindows.countCoefficients);
    io.field(1793, c.countWindows.referenceChannel);
    io.field(1797, c.countWindows.referenceWidth);
    io.field(1801, c.unused1801);
    io.field(1845, c.layout.windowPlacement);
    io.field(1889, c.layout.listPaneWidth);
    io.field(1893, c.layout.listPaneHeight);
    io.field(1897, c.layout.listOrientation);
}

template <class Trailer, class Io> constexpr void trailerLayout(Trailer& t, Io& io) {
    io.field(0, t.energyCalibration.pointChannel);
    io.field(40, t.energyCalibration.pointEnergy);
    io.field(80, t.energyCalibration.pointCount);
    io.field(84, t.energyCalibration.calibrationReserve0);
    io.field(92, t.energyCalibration.calibrationReserve1);
    io.field(100, t.energyCalibration.termCount);
    io.field(104, t.energyCalibration.coefficients);
    io.field(144, t.energyCalibration.channelScale);
    io.field(148, t.efficiency.efficiencyPointCount);
    io.field(152, t.efficiency.efficiencyEnergy);
    io.field(312, t.efficiency.efficiencyValue);
    io.field(472, t.firstChannel);
    io.field(476, t.lastChannel);
    io.field(480, t.roundRange);
}

class FieldWriter {
public:
    explicit FieldWriter(std::span<std::uint8_t> out) : m_out(out) {}

    template <class T> void field(std::size_t offset, const T& value) {
        m_out.seek(offset);
        put(value);
    }
    void text(std::size_t offset, const std::string& value, std::size_t fieldSize) {
        m_out.seek(offset);
        m_out.text(value, fieldSize);
    }

private:
    void put(std::uint8_t v) { m_out.u8(v); }
    void put(std::int8_t v) { m_out.i8(v); }
    void put(std::int32_t v) { m_out.i32le(v); }
    void put(double v) { m_out.f64le(v); }
    template <class T, std::size_t N> void put(const std::array<T, N>& values) {
        for (const T& v : values) {
            put(v);
        }
    }
    void put(const WindowPlacement& p) {
        put(p.length);
        put(p.flags);
        put(p.showState);
        put(p.minPosition);
        put(p.maxPosition);
        put(p.normalRect);
    }

    ByteWriter m_out;
};

class FieldReader {
public:
    // Text fields at or after keepTextsFrom are left as they are in the target (see overlay).
    explicit FieldReader(std::span<const std::uint8_t> in,
                         std::size_t keepTextsFrom = kAppConfigSize)
        : m_in(in), m_keepTextsFrom(keepTextsFrom) {}

    template <class T> void field(std::size_t offset, T& value) {
        m_in.seek(offset);
        get(value);
    }
    void text(std::size_t offset, std::string& value, std::size_t fieldSize) {
        if (offset >= m_keepTextsFrom) {
            return;
        }
        m_in.seek(offset);
        value = textOfField(m_in.view(fieldSize));
    }

private:
    void get(std::uint8_t& v) { v = m_in.u8(); }
    void get(std::int8_t& v) { v = m_in.i8(); }
    void get(std::int32_t& v) { v = m_in.i32le(); }
    void get(double& v) { v = m_in.f64le(); }
    template <class T, std::size_t N> void get(std::array<T, N>& values) {
        for (T& v : values) {
            get(v);
        }
    }
    void get(WindowPlacement& p) {
        get(p.length);
        get(p.flags);
        get(p.showState);
        get(p.minPosition);
        get(p.maxPosition);
        get(p.normalRect);
    }

    ByteReader m_in;
    std::size_t m_keepTextsFrom;
};

// ---- Compile-time layout check: the fields must tile the record with no gap or overlap.

constexpr std::size_t storedSize(std::uint8_t) {
    return 1;
}
constexpr std::size_t storedSize(std::int8_t) {
    return 1;
}
constexpr std::size_t storedSize(std::int32_t) {
    return 4;
}
constexpr std::size_t storedSize(double) {
    return 8;
}
template <class T, std::size_t N> constexpr std::size_t storedSize(const std::array<T, N>& a) {
    return N * storedSize(a[0]);
}
constexpr std::size_t storedSize(const WindowPlacement& p) {
    return 3 * storedSize(p.length) + storedSize(p.minPosition) + storedSize(p.maxPosition) +
           storedSize(p.normalRect);
}

struct LayoutCheck {
    std::size_t end = 0;
    bool tight = true;

    template <class T> constexpr void field(std::size_t offset, const T& value) {
        step(offset, storedSize(value));
    }
    constexpr void text(std::size_t offset, const std::string&, std::size_t fieldSize) {
        step(offset, fieldSize);
    }
    constexpr void step(std::size_t offset, std::size_t size) {
        tight = tight && offset == end;
        end = offset + size;
    }
};

constexpr bool configLayoutFills() {
    const AppConfig config;
    LayoutCheck check;
    configLayout(config, check);
    return check.tight && check.end == kAppConfigSize;
}

constexpr bool trailerLayoutFills() {
    const FileTrailer trailer;
    LayoutCheck check;
    trailerLayout(trailer, check);
    return check.tight && check.end == kTrailerSize;
}

static_assert(storedSize(WindowPlacement{}) == 44);
// clang 14 cannot evaluate libstdc++ 12's std::string in a constant expression; g++ builds the
// program and checks the record here, and the field pins of the record's tests hold it as well.
#if !defined(__clang__)
static_assert(configLayoutFills(), "configuration fields must fill 1901 bytes without gaps");
#endif
static_assert(trailerLayoutFills(), "trailer fields must fill 481 bytes without gaps");

} // namespace

std::array<std::uint8_t, kAppConfigSize> encodeAppConfig(const AppConfig& config) {
    std::array<std::uint8_t, kAppConfigSize> bytes{};
    FieldWriter writer(bytes);
    configLayout(config, writer);
    return bytes;
}

AppConfig decodeAppConfig(std::span<const std::uint8_t, kAppConfigSize> bytes) {
    AppConfig config;
    FieldReader reader(bytes);
    configLayout(config, reader);
    return config;
}

void overlayAppConfig(AppConfig& config, std::span<const std::uint8_t> bytes) {
    auto record = encodeAppConfig(config);
    const std::size_t taken = std::min(bytes.size(), record.size());
    std::copy_n(bytes.begin(), taken, record.begin());
    // Decoding in place keeps the texts the file does not reach: re-reading them from the
    // encoded record would cut a path longer than its field.
    FieldReader reader(record, taken);
    configLayout(config, reader);
}

void convertLegacyLayout(AppConfig& config) {
    CountWindowSettings& windows = config.countWindows;
    auto& legacy = windows.legacyWindowCoefficients;
    if (legacy[0] == 0.0) {
        return;
    }
    std::copy_n(legacy.begin(), 3, windows.calibrationCoefficients.begin());
    std::copy_n(legacy.begin() + 3, 3, windows.countCoefficients.begin());
    legacy[0] = 0.0;
}

std::array<std::uint8_t, kTrailerSize> encodeTrailer(const FileTrailer& trailer) {
    std::array<std::uint8_t, kTrailerSize> bytes{};
    FieldWriter writer(bytes);
    trailerLayout(trailer, writer);
    return bytes;
}

FileTrailer decodeTrailer(std::span<const std::uint8_t, kTrailerSize> bytes) {
    FileTrailer trailer;
    FieldReader reader(bytes);
    trailerLayout(trailer, reader);
    return trailer;
}

namespace {

template <std::size_t N> bool allFinite(const std::array<double, N>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

template <std::size_t N> void zeroNonFinite(std::array<double, N>& values) {
    for (double& v : values) {
        v = std::isfinite(v) ? v : 0.0;
    }
}

bool countWithin(std::int32_t count, std::size_t slots) {
    return count >= 0 && static_cast<std::size_t>(count) <= slots;
}

} // namespace

bool isPossibleTrailer(const FileTrailer& trailer) {
    const EnergyCalibration& c = trailer.energyCalibration;
    const EfficiencyCalibration& e = trailer.efficiency;
    return countWithin(c.pointCount, kMaxCalibrationPoints) &&
           countWithin(c.termCount, kMaxCalibrationTerms) &&
           countWithin(e.efficiencyPointCount, kMaxEfficiencyPoints) && c.channelScale >= 0 &&
           c.channelScale <= kMaxCalibrationChannelScale && allFinite(c.coefficients) &&
           allFinite(c.pointChannel) && allFinite(c.pointEnergy) && allFinite(e.efficiencyEnergy) &&
           allFinite(e.efficiencyValue);
}

FileTrailer storableTrailer(FileTrailer trailer) {
    EnergyCalibration& c = trailer.energyCalibration;
    EfficiencyCalibration& e = trailer.efficiency;
    // Checked before the coefficients are cleaned: one that is not finite in use means none.
    if (c.channelScale < 0 || (c.channelScale >= 2 && !c.inForce())) {
        c.channelScale = 0;
    }
    c.termCount = c.termsInUse();
    if (!countWithin(c.pointCount, kMaxCalibrationPoints)) {
        c.pointCount = 0;
    }
    if (!countWithin(e.efficiencyPointCount, kMaxEfficiencyPoints)) {
        e.efficiencyPointCount = 0;
    }
    zeroNonFinite(c.coefficients);
    zeroNonFinite(c.pointChannel);
    zeroNonFinite(c.pointEnergy);
    zeroNonFinite(e.efficiencyEnergy);
    zeroNonFinite(e.efficiencyValue);
    return trailer;
}

FileTrailer trailerOf(const AppConfig& config) {
    return {config.energyCalibration, config.efficiency, config.plot.firstChannel,
            config.plot.lastChannel, config.plot.roundRange};
}

void applyTrailer(AppConfig& config, const FileTrailer& trailer) {
    config.energyCalibration = trailer.energyCalibration;
    config.efficiency = trailer.efficiency;
    config.plot.firstChannel = trailer.firstChannel;
    config.plot.lastChannel = trailer.lastChannel;
    config.plot.roundRange = trailer.roundRange;
}

} // namespace kv
