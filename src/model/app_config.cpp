#include "model/app_config.h"

#include "model/byte_io.h"

#include <algorithm>

namespace kv {
namespace {

// The single list of stored fields, in file order. It drives the encoder, the decoder and the
// compile-time layout check below, so each offset is written exactly once. Config is
// AppConfig or const AppConfig.
template <class Config, class Io> constexpr void configLayout(Config& c, Io& io) {
    io.text(0, c.documentPath, kPathFieldSize);
    io.text(256, c.lastDirectory, kPathFieldSize);
    io.field(512, c.logScale);
    io.field(513, c.fromZero);
    io.field(514, c.xAxisMode);
    io.field(518, c.yAxisMode);
    io.field(522, c.showSelectedOnly);
    io.field(523, c.calibrationReserve0);
    io.field(531, c.calibrationReserve1);
    io.field(539, c.pointChannel);
    io.field(579, c.pointEnergy);
    io.field(619, c.pointCount);
    io.field(623, c.smoothRadius);
    io.field(627, c.smoothSigma);
    io.field(635, c.smoothKind);
    io.field(639, c.smoothDialogFlag);
    io.field(640, c.rejectRadius);
    io.field(644, c.continuumSmoothRadius);
    io.field(648, c.singlePeakOption);
    io.text(649, c.lastName, kLastNameFieldSize);
    io.field(777, c.lastExposure);
    io.field(785, c.portBaseIndex);
    io.field(786, c.removeContinuum);
    io.field(787, c.searchRadii);
    io.field(807, c.levelFactor);
    io.field(815, c.maxPeakWidth);
    io.field(823, c.showOriginal);
    io.field(824, c.showLevel);
    io.field(825, c.showResult);
    io.field(826, c.autoSave);
    io.field(827, c.efficiencyPointCount);
    io.field(831, c.efficiencyCorrection);
    io.field(832, c.efficiencyEnergy);
    io.field(992, c.efficiencyValue);
    io.field(1152, c.lineTolerance);
    io.field(1160, c.lineThreshold);
    io.field(1168, c.checkLines);
    io.field(1169, c.linesNeeded);
    io.field(1173, c.termCount);
    io.field(1177, c.coefficients);
    io.field(1217, c.channelScale);
    io.field(1221, c.searchTab);
    io.field(1225, c.energyFrom);
    io.field(1233, c.energyTo);
    io.field(1241, c.restoreFromDataFile);
    io.field(1242, c.threshold);
    io.field(1246, c.coincidenceMode);
    io.field(1250, c.gatingMode);
    io.field(1254, c.internalGating);
    io.field(1258, c.memoryMode);
    io.field(1262, c.interruptMode);
    io.field(1266, c.firstChannel);
    io.field(1270, c.lastChannel);
    io.field(1274, c.roundRange);
    io.field(1275, c.windowRect);
    io.field(1291, c.triggerPort);
    io.field(1295, c.cycleCount);
    io.field(1299, c.startOnHighLevel);
    io.text(1300, c.exportPath, kPathFieldSize);
    io.field(1556, c.exportOneFile);
    io.field(1557, c.exportNames);
    io.field(kLegacyCoefficientsOffset, c.legacyWindowCoefficients);
    io.field(1606, c.windowLower);
    io.field(1618, c.windowUpper);
    io.field(1630, c.xrayExposure);
    io.field(1638, c.seriesInterval);
    io.field(1646, c.seriesMaxCount);
    io.field(1650, c.unused1650);
    io.field(1654, c.expandedResult);
    io.field(1655, c.reportWindowRect);
    io.field(1671, c.textAutoSave);
    io.field(1672, c.autoShiftWindows);
    io.field(1673, c.calibrationCoefficients);
    io.field(1721, c.countCoefficients);
    io.field(1793, c.referenceChannel);
    io.field(1797, c.referenceWidth);
    io.field(1801, c.unused1801);
    io.field(1845, c.windowPlacement);
    io.field(1889, c.listPaneWidth);
    io.field(1893, c.listPaneHeight);
    io.field(1897, c.listOrientation);
}

template <class Config, class Io> constexpr void trailerLayout(Config& c, Io& io) {
    io.field(0, c.pointChannel);
    io.field(40, c.pointEnergy);
    io.field(80, c.pointCount);
    io.field(84, c.calibrationReserve0);
    io.field(92, c.calibrationReserve1);
    io.field(100, c.termCount);
    io.field(104, c.coefficients);
    io.field(144, c.channelScale);
    io.field(148, c.efficiencyPointCount);
    io.field(152, c.efficiencyEnergy);
    io.field(312, c.efficiencyValue);
    io.field(472, c.firstChannel);
    io.field(476, c.lastChannel);
    io.field(480, c.roundRange);
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
    const AppConfig config;
    LayoutCheck check;
    trailerLayout(config, check);
    return check.tight && check.end == kTrailerSize;
}

static_assert(storedSize(WindowPlacement{}) == 44);
static_assert(configLayoutFills(), "configuration fields must fill 1901 bytes without gaps");
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
    auto& legacy = config.legacyWindowCoefficients;
    if (legacy[0] == 0.0) {
        return;
    }
    std::copy_n(legacy.begin(), 3, config.calibrationCoefficients.begin());
    std::copy_n(legacy.begin() + 3, 3, config.countCoefficients.begin());
    legacy[0] = 0.0;
}

std::array<std::uint8_t, kTrailerSize> encodeTrailer(const AppConfig& config) {
    std::array<std::uint8_t, kTrailerSize> bytes{};
    FieldWriter writer(bytes);
    trailerLayout(config, writer);
    return bytes;
}

void applyTrailer(AppConfig& config, std::span<const std::uint8_t, kTrailerSize> bytes) {
    FieldReader reader(bytes);
    trailerLayout(config, reader);
}

} // namespace kv
