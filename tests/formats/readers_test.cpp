// Each reader against real files (values counted from the files independently) and against
// damaged input, which it refuses with a reason and the line or byte where it found it.

#include "formats/chn_format.h"
#include "formats/csv_format.h"
#include "formats/iec_format.h"
#include "formats/n42_format.h"
#include "formats/spe_format.h"
#include "formats/spectrum_formats.h"
#include "formats_test_support.h"
#include "model/histogram_file.h"
#include "support/allocation_limit.h"
#include "support/temp_dir.h"

#include <numeric>
#include <string>

namespace kv {
namespace {

ImportResult readReal(const std::string& name) {
    const auto bytes = test::readBytes((test::spectraDir() / name).string());
    return readSpectrumFile(bytes, name);
}

std::int64_t sumOf(const std::vector<std::int32_t>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
}

// A damaged input, what its reader must say about it and where.
struct Damage {
    std::string text;
    RefusalReason reason;
    FilePosition at;
};

void expectRefused(const ImportResult& r, const Damage& d) {
    ASSERT_FALSE(r.ok()) << d.text;
    EXPECT_EQ(r.refusal->reason, d.reason) << d.text << "\n" << test::refusalOf(r);
    EXPECT_EQ(r.refusal->at, d.at) << d.text << "\n" << test::refusalOf(r);
    EXPECT_TRUE(r.spectra.empty());
}

FilePosition line(std::size_t number) {
    return FilePosition::line(number);
}

TEST(SpeReader, ReadsIaeaSpectrumWithLenientCalibrationCount) {
    const ImportResult r = readReal("iaea2002/mix2neq6.spe");
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    const ImportedSpectrum& s = r.spectra.at(0);
    EXPECT_EQ(s.title, "mix2neq6");
    EXPECT_EQ(s.channels.size(), 4096u);
    EXPECT_EQ(s.channels[19], 147);
    EXPECT_EQ(sumOf(s.channels), 226135);
    EXPECT_EQ(s.liveTimeSeconds, 353.0);
    EXPECT_EQ(s.realTimeSeconds, 359.0);
    EXPECT_EQ(s.startTime, (SystemTime{2002, 11, 4, 7, 18, 30, 0, 0})); // a Thursday
    ASSERT_TRUE(s.calibration);                                         // "$MCA_CAL: %2"
    EXPECT_EQ(s.calibration->coefficients, (std::vector<double>{8.0939751, 0.43677204}));

    // The same counts as the histogram file made from it.
    const auto hst =
        parseHistogramFile(test::readBytes((test::spectraDir() / "hst/mix2neq6.hst").string()));
    ASSERT_EQ(hst.histograms.size(), 1u);
    EXPECT_EQ(hst.histograms[0]->channels, s.channels);
    EXPECT_EQ(hst.histograms[0]->exposure, s.liveTimeSeconds);
}

TEST(SpeReader, PrefersMcaCalibrationOverEnergyFit) {
    const ImportResult r = readReal("curie/eu_calib_7cm.Spe");
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    const ImportedSpectrum& s = r.spectra.at(0);
    EXPECT_EQ(s.channels.size(), 16384u);
    EXPECT_EQ(s.channels[1000], 857);
    EXPECT_EQ(sumOf(s.channels), 4433622);
    EXPECT_EQ(s.calibration->coefficients, (std::vector<double>{0.33973, 0.18297, 5.5683e-9}));
}

TEST(SpeReader, RefusesDamage) {
    const std::string good =
        "$SPEC_ID:\r\nx\r\n$DATA:\r\n0 3\r\n1 2\r\n3 4\r\n$MEAS_TIM:\r\n5 6\r\n";
    ASSERT_TRUE(readSpe(good).ok());
    EXPECT_EQ(readSpe(good).spectra[0].channels, (std::vector<std::int32_t>{1, 2, 3, 4}));
    using R = RefusalReason;
    for (const Damage& d : {
             Damage{"$SPEC_ID:\nx\n", R::SpeNoData, {}},
             Damage{"$DATA:\n0 3\n1 2 3\n", R::SpeCountsNotChannels, line(3)}, // one short
             Damage{"$DATA:\r\n0 3\r\n1\r\n2\r\n\r\n3\r\n$X:\r\n", R::SpeCountsNotChannels,
                    line(6)}, // at the last one
             Damage{"$DATA:\n0 3\n1 2 3\n4 5\n", R::SpeCountsNotChannels, line(4)}, // one over
             Damage{"$DATA:\n3 0\n", R::SpeBadChannelRange, line(2)},
             Damage{"$DATA:\n0 99999999999\n1\n", R::SpeBadChannelRange, line(2)},
             Damage{"$DATA:\n0 +-1\n1\n", R::SpeBadChannelRange, line(2)},
             Damage{"$DATA:\n0 1\n1\nx\n", R::SpeCountsNotChannels, line(4)},
             Damage{"$DATA:\n0 1\n1 3000000000\n", R::SpeCountsNotChannels, line(3)},
             Damage{"$DATA:\n0 0\n1\n$MEAS_TIM:\n-1 2\n", R::SpeBadTimes, line(5)},
         }) {
        expectRefused(readSpe(d.text), d);
    }
}

TEST(ChnReader, ReadsHeaderTrailerAndCounts) {
    const ImportResult r = readReal("iaea2002/mix2neq6.Chn");
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    const ImportedSpectrum& s = r.spectra.at(0);
    EXPECT_EQ(s.channels.size(), 4096u);
    EXPECT_EQ(s.channels[4023], 3747); // the pulser
    EXPECT_EQ(sumOf(s.channels), 226135);
    EXPECT_DOUBLE_EQ(s.liveTimeSeconds, 353.0);
    EXPECT_DOUBLE_EQ(s.realTimeSeconds, 360.0);
    EXPECT_EQ(s.startTime, (SystemTime{2002, 11, 4, 7, 18, 30, 0, 0}));
    EXPECT_EQ(s.title, "mix2neq6");
    EXPECT_FALSE(s.calibration); // 0, 1, 0 is the uncalibrated default
}

TEST(ChnReader, RefusesShortOrForeignFilesAtTheirByte) {
    ImportedSpectrum s;
    s.channels = {1, 2, 3};
    const auto bytes = writeChn(s);
    EXPECT_TRUE(readChn(bytes).ok());
    EXPECT_TRUE(readChn(std::span(bytes).first(kChnHeaderSize + 12)).ok()); // no trailer
    const auto refusal = [](std::span<const std::uint8_t> file) {
        const ImportResult r = readChn(file);
        return r.refusal ? std::pair{r.refusal->reason, r.refusal->at}
                         : std::pair{RefusalReason::FormatNotRead, FilePosition{}};
    };
    using R = RefusalReason;
    EXPECT_EQ(refusal(std::span(bytes).first(kChnHeaderSize + 11)),
              std::pair(R::ChnCountsCutShort, FilePosition::byte(kChnHeaderSize + 8)));
    EXPECT_EQ(refusal(std::span(bytes).first(10)),
              std::pair(R::ChnNoHeader, FilePosition::byte(10)));
    auto foreign = bytes;
    foreign[0] = 0;
    EXPECT_EQ(refusal(foreign), std::pair(R::ChnNoHeader, FilePosition::byte(0)));
    auto empty = bytes;
    empty[30] = 0;
    empty[31] = 0;
    EXPECT_EQ(refusal(empty), std::pair(R::ChnCountsCutShort, FilePosition::byte(30)));
}

TEST(IecReader, ReadsDummySample) {
    const ImportResult r = readReal("becquerel/hpge_dummy_test_01.iec");
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    const ImportedSpectrum& s = r.spectra.at(0);
    EXPECT_EQ(s.channels.size(), 2048u);
    EXPECT_EQ(s.channels[0], 40680);
    EXPECT_EQ(s.channels[9], 42110);
    EXPECT_EQ(sumOf(s.channels), 74305419); // the padding after channel 2047 is zeros
    EXPECT_EQ(s.liveTimeSeconds, 3564.0);
    EXPECT_EQ(s.realTimeSeconds, 3600.0);
    EXPECT_EQ(s.title, "Dummy data");
    EXPECT_EQ(s.startTime, (SystemTime{2021, 12, 4, 9, 10, 54, 31, 0}));
    ASSERT_TRUE(s.calibration);
    EXPECT_EQ(s.calibration->coefficients,
              (std::vector<double>{-1.55656e-2, 0.8, -2.97939e-8, 0.0}));
    EXPECT_EQ(s.calibration->firstChannelPosition, 0.0);
}

TEST(IecReader, CountsFromTheFirstDataLineNumberAndRefusesGaps) {
    std::string text = "A004\nA004 10 12 4\nA00401/02/03 04:05:06\nA004 1 2\n";
    EXPECT_EQ(
        readIec(text + "A004 1 5 6\nA004 3 7 8\n").spectra.at(0).calibration->firstChannelPosition,
        1.0);
    using R = RefusalReason;
    for (const Damage& d : {
             Damage{text + "A004 1 5 6\nA004 4 7 8\n", R::IecDataLineOutOfPlace, line(6)},
             Damage{text + "A004 0 5 6\n", R::IecTooFewCounts, line(5)},
             Damage{text + "A004 0 1 2\nA004 2 3 x\n", R::IecBadCount, line(6)},
             Damage{text + "\nB004 0 1 2 3\n", R::IecUnmarkedLine, line(6)},
             Damage{text + "A004 x\n", R::IecNoData, {}},
             Damage{"A004\nA004 1 1 0\nA004\nA004\nA004 0 1\n", R::IecBadTimesOrChannels, line(2)},
             Damage{"A004\nA004 1 1 1\n", R::IecShortHeader, {}},
         }) {
        expectRefused(readIec(d.text), d);
    }
}

TEST(N42Reader, Reads2006PortalFileWithCountedZeroes) {
    const ImportResult r = readReal("interspec/ba133_source_640s_20100317.n42");
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    ASSERT_EQ(r.spectra.size(), 8u);
    const ImportedSpectrum& s = r.spectra[0];
    EXPECT_EQ(s.title, "A1");
    EXPECT_EQ(s.channels.size(), 16384u);
    EXPECT_EQ(sumOf(s.channels), 305570);
    EXPECT_EQ(sumOf(r.spectra[1].channels), 423991);
    EXPECT_DOUBLE_EQ(s.liveTimeSeconds, 629.17);
    EXPECT_DOUBLE_EQ(s.realTimeSeconds, 639.92);
    EXPECT_EQ(s.startTime, (SystemTime{2010, 4, 6, 17, 17, 33, 19, 409}));
    ASSERT_TRUE(s.calibration); // the energy calibration, not the FWHM one
    EXPECT_EQ(s.calibration->coefficients,
              (std::vector<double>{0.1401463, 0.187422, -2.07732e-09}));
    EXPECT_EQ(s.calibration->firstChannelPosition, 0.5);
}

constexpr std::string_view kN42of2012 = R"(<?xml version="1.0"?>
<RadInstrumentData xmlns="http://physics.nist.gov/N42/2011/N42">
  <EnergyCalibration id="ec1"><CoefficientValues>-1 0.5 0.001</CoefficientValues></EnergyCalibration>
  <RadMeasurement id="m1">
    <StartDateTime>2019-03-04T05:06:07.5-05:00</StartDateTime>
    <RealTimeDuration>PT1M0.5S</RealTimeDuration>
    <Spectrum id="s1" radDetectorInformationReference="det" energyCalibrationReference="ec1">
      <LiveTimeDuration>PT59S</LiveTimeDuration>
      <ChannelData compressionCode="CountedZeroes">5 0 3 7</ChannelData>
    </Spectrum>
  </RadMeasurement>
</RadInstrumentData>)";

TEST(N42Reader, Reads2012Form) {
    const ImportResult r = readN42(kN42of2012);
    ASSERT_TRUE(r.ok()) << test::refusalOf(r);
    const ImportedSpectrum& s = r.spectra.at(0);
    EXPECT_EQ(s.title, "det");
    EXPECT_EQ(s.channels, (std::vector<std::int32_t>{5, 0, 0, 0, 7}));
    EXPECT_EQ(s.liveTimeSeconds, 59.0);
    EXPECT_EQ(s.realTimeSeconds, 60.5);
    EXPECT_EQ(s.startTime, (SystemTime{2019, 3, 1, 4, 5, 6, 7, 500}));
    EXPECT_EQ(s.calibration->coefficients, (std::vector<double>{-1, 0.5, 0.001}));
}

TEST(N42Reader, RefusesDamage) {
    std::string zeros(kN42of2012);
    zeros.replace(zeros.find("5 0 3 7"), 7, "5 0 2000000 7"); // more zeros than any spectrum
    std::string time(kN42of2012);
    time.replace(time.find("PT59S"), 5, "59");
    using R = RefusalReason;
    for (const Damage& d : {
             Damage{zeros, R::N42BadChannelData, line(9)},
             Damage{time, R::N42BadTime, line(7)},
             Damage{std::string(kN42of2012.substr(0, 200)), R::XmlError, line(4)},
             Damage{"<?xml version=\"1.0\"?>\n\n<a/>", R::N42NotDocument, line(3)},
             Damage{"<N42InstrumentData>\n</N42InstrumentData>", R::N42NoSpectrum, {}},
             Damage{"", R::XmlError, line(1)},
         }) {
        expectRefused(readN42(d.text), d);
    }
    EXPECT_FALSE(readN42("<a>").refusal->detail.empty()) << "the parser's own words";
    EXPECT_EQ(durationSeconds("P1DT1H1M1.5S"), 90061.5);
    EXPECT_FALSE(durationSeconds("P1M")); // months have no length in seconds
    EXPECT_FALSE(durationSeconds("PT"));
}

// A document of n spectra, each of one count followed by a run of zeros, written compactly.
std::string countedZeroesDocument(int spectra, std::size_t zeros) {
    std::string text = "<N42InstrumentData><Measurement>\n";
    for (int k = 0; k < spectra; ++k) {
        text += "<Spectrum><ChannelData Compression=\"CountedZeroes\">7 0 " +
                std::to_string(zeros) + "</ChannelData></Spectrum>\n";
    }
    return text + "</Measurement></N42InstrumentData>\n";
}

TEST(N42Reader, RefusesAFileThatWouldExpandBeyondTheBoundBeforeAllocatingIt) {
    // 16 of the longest spectra are what a file may hold; the 17th is refused where it is.
    constexpr std::size_t kLongestRun = (1 << 20) - 1;
    const ImportResult sixteen = readN42(countedZeroesDocument(16, kLongestRun));
    ASSERT_TRUE(sixteen.ok()) << test::refusalOf(sixteen);
    EXPECT_EQ(sixteen.spectra.size(), 16u);
    EXPECT_EQ(sixteen.spectra[15].channels.size(), std::size_t{1} << 20);
    {
        // 80 KB that stand for 4 GiB of counts: refused with no more memory than the bound.
        const test::AllocationLimit limit((kMaxChannelsInFile * 4) + (std::size_t{16} << 20));
        expectRefused(readN42(countedZeroesDocument(1000, kLongestRun)),
                      {"1000 spectra", RefusalReason::TooManyChannelsInFile, line(18)});
    }
    // Short spectra count together the same way.
    expectRefused(readN42(countedZeroesDocument((1 << 14) + 1, 1023)),
                  {"16385 spectra", RefusalReason::TooManyChannelsInFile, line(16386)});
}

TEST(SpectrumFormats, MemoryRunningOutIsARefusalNotAnException) {
    const auto bytes =
        test::readBytes((test::spectraDir() / "interspec/ba133_source_640s_20100317.n42").string());
    const test::AllocationLimit limit(200'000); // the counts take 512 KiB
    expectRefused(readSpectrumFile(bytes, "portal.n42"), {"", RefusalReason::OutOfMemory, {}});
}

TEST(CsvReader, ChannelColumnWithCommentsOrEnergyColumn) {
    const ImportResult channels =
        readCsv("# live time s: 10.5\n# energy calibration keV: 1 2\nchannel;counts\n1;4\n2;5\n");
    ASSERT_TRUE(channels.ok()) << test::refusalOf(channels);
    EXPECT_EQ(channels.spectra[0].channels, (std::vector<std::int32_t>{4, 5}));
    EXPECT_EQ(channels.spectra[0].liveTimeSeconds, 10.5);
    EXPECT_EQ(channels.spectra[0].calibration->firstChannelPosition, 1.0); // 1-based column

    // E = 3 + 0.5 i + 0.01 i^2 at the rows' 0-based channels.
    std::string rows;
    for (int i = 0; i < 9; ++i) {
        rows += std::to_string(3 + 0.5 * i + 0.01 * i * i) + "\t" + std::to_string(i * 10) + "\n";
    }
    const ImportResult energies = readCsv(rows);
    ASSERT_TRUE(energies.ok()) << test::refusalOf(energies);
    const auto& c = energies.spectra[0].calibration->coefficients;
    ASSERT_EQ(c.size(), 3u);
    EXPECT_NEAR(c[0], 3.0, 1e-9);
    EXPECT_NEAR(c[1], 0.5, 1e-9);
    EXPECT_NEAR(c[2], 0.01, 1e-9);
}

TEST(CsvReader, RefusesDamage) {
    using R = RefusalReason;
    for (const Damage& d : {
             Damage{"a,b\n1,2\nx,y\n", R::CsvNotTwoNumbers, line(3)}, // a second header
             Damage{"1,2\n\n1,2,3\n", R::CsvNotTwoNumbers, line(3)},
             Damage{"# c\n1.5,1\n2,1\n3.5,1\n2.5,1\n", R::CsvFirstColumnNotRising, line(5)},
             Damage{"0,1\n1,3000000000\n", R::CsvBadCount, line(2)},
             Damage{"1,2,3\n", R::CsvNoRows, {}}, // taken for the header
             Damage{"# only a comment\n", R::CsvNoRows, {}},
         }) {
        expectRefused(readCsv(d.text), d);
    }
}

TEST(SpectrumFormats, ChoosesByExtensionThenContent) {
    EXPECT_EQ(formatFromExtension("/a.b/X.SPE"), SpectrumFormat::Spe);
    EXPECT_EQ(formatFromExtension("dir.n42/file"), SpectrumFormat::Unknown);
    EXPECT_EQ(formatFromExtension("x.txt"), SpectrumFormat::Csv);
    const std::string spe = "$SPEC_ID:\nx\n$DATA:\n0 0\n7\n";
    const std::vector<std::uint8_t> bytes(spe.begin(), spe.end());
    EXPECT_EQ(formatFromContent(bytes), SpectrumFormat::Spe);
    EXPECT_TRUE(readSpectrumFile(bytes, "no_extension").ok());
    expectRefused(readSpectrumFile(bytes, "x.hst"), {spe, RefusalReason::FormatNotRead, {}});
}

} // namespace
} // namespace kv
