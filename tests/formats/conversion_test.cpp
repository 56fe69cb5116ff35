// From a file's spectrum to a list entry and the program's calibration, and back out through
// a histogram file: counts, times and calibration must survive.

#include "formats/imported_spectrum.h"
#include "formats/spectrum_formats.h"
#include "formats_test_support.h"
#include "model/cp1251.h"
#include "model/energy_calibration.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "support/temp_dir.h"

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace kv {
namespace {

double evaluate(const std::vector<double>& c, double x) {
    double e = 0.0;
    for (std::size_t k = c.size(); k-- > 0;) {
        e = e * x + c[k];
    }
    return e;
}

TEST(ImportedCalibration, ConvertsEachConventionToChannelCentresFromZero) {
    const std::vector<double> p{0.14, 0.1874, -2.1e-9};
    for (const double origin : {0.0, 0.5, 1.0, 7.0}) {
        const auto ours = programCoefficients({p, origin});
        ASSERT_TRUE(ours);
        for (const double i : {0.0, 1.0, 8191.0, 16383.0}) {
            EXPECT_NEAR(evaluate(*ours, i), evaluate(p, i + origin), 1e-9) << origin;
        }
    }
    EXPECT_FALSE(programCoefficients({{1.0, 2.0, 3.0, 4.0, 5.0, 6.0}, 0.0}));
    EXPECT_TRUE(programCoefficients({{1.0, 2.0, 0.0, 0.0, 0.0, 0.0}, 0.0})); // trailing zeros
    EXPECT_FALSE(programCoefficients({{5.0}, 0.0}));
    EXPECT_FALSE(programCoefficients({{5.0, 0.0}, 0.0}));
    EXPECT_FALSE(programCoefficients({{NAN, 1.0}, 0.0}));
}

TEST(ImportedCalibration, BecomesTheProgramsAndComesBackRescaled) {
    ImportedSpectrum s;
    s.channels.assign(4096, 0);
    s.calibration = ImportedCalibration{{1.0, 0.5, 1e-6}, 0.5};
    EnergyCalibration calibration;
    ASSERT_TRUE(applyImportedCalibration(s, calibration));
    EXPECT_EQ(calibration.channelScale, 4096);
    EXPECT_EQ(calibration.termCount, 3);
    EXPECT_NEAR(calibration.channelToEnergy(100.0, 4096), 1.0 + 0.5 * 100.5 + 1e-6 * 100.5 * 100.5,
                1e-12);

    // Exported from an 8192-channel list, channel 2x holds what channel x held.
    Histogram h;
    h.channels.assign(8192, 1);
    const ImportedSpectrum out = exportedSpectrum(h, calibration, 8192);
    ASSERT_TRUE(out.calibration);
    EXPECT_NEAR(evaluate(out.calibration->coefficients, 201.0),
                calibration.channelToEnergy(100.5, 4096), 1e-9);
}

TEST(ImportedSpectrumEntry, NamesCommentsAndTimes) {
    ImportedSpectrum s;
    s.format = SpectrumFormat::Spe;
    s.channels = {1, 2, 3};
    s.liveTimeSeconds = 353.0;
    s.realTimeSeconds = 359.25;
    s.startTime = SystemTime{2002, 11, 4, 7, 18, 30, 0, 0};
    auto h = toHistogram(s, "mix2neq6.spe");
    EXPECT_EQ(h->name.view(), "mix2neq6.spe");
    EXPECT_EQ(h->comment.view(), "ASCII SPE (real 359.25 s): mix2neq6.spe");
    EXPECT_EQ(h->total, 6u);
    EXPECT_EQ(h->exposure, 353.0);
    EXPECT_EQ(h->created, *s.startTime);
    EXPECT_EQ(realTimeOf(*h), 359.25);

    s.title = "Образец " + std::string(200, 'x');
    s.startTime.reset();
    h = toHistogram(s, std::string(300, 'n'));
    EXPECT_EQ(h->name.view().size(), kHistogramTextLimit);
    EXPECT_EQ(h->name.view().substr(0, 7), cp1251FromUtf8("Образец"));
    EXPECT_EQ(h->created, SystemTime{});
    EXPECT_EQ(realTimeOf(*h), 359.25); // ahead of the long file name, so not cut off
    EXPECT_FALSE(exportedSpectrum(*h, EnergyCalibration{}, 3).startTime);
}

// Reads a real file, lists it and writes a histogram file; opens that and writes the spectrum
// in its own format again; reads that back.
ImportedSpectrum throughHistogramFile(const ImportedSpectrum& in, const std::string& extension) {
    const SpectrumFormat format = formatFromExtension("x." + extension);
    DocumentState state;
    HistogramList list(state);
    AppConfig config;
    applyImportedCalibration(in, config.energyCalibration);
    list.setChannelCount(static_cast<std::int32_t>(in.channels.size()));
    list.addHistogram(toHistogram(in, "file"));
    const auto parsed = parseHistogramFile(encodeHistogramFile(list, config));
    const WrittenSpectrum written =
        writeSpectrumFile(exportedSpectrum(*parsed.histograms.at(0),
                                           parsed.trailer->energyCalibration, list.channelCount()),
                          format);
    EXPECT_FALSE(written.refusal);
    ImportResult back = readSpectrumFile(written.bytes, "x." + extension);
    EXPECT_TRUE(back.ok()) << test::refusalOf(back);
    return back.ok() ? back.spectra.at(0) : ImportedSpectrum{};
}

TEST(RoundTrip, EveryRealSpectrumThroughAHistogramFileAndBack) {
    for (const char* name :
         {"iaea2002/mix2neq6.spe", "iaea2002/mix2neq6.Chn", "curie/eu_calib_7cm.Spe",
          "becquerel/Mendocino_07-10-13_Acq-10-10-13.Spe", "becquerel/nai_detector.spe",
          "becquerel/SGM102432.spe", "misc/NaI_Cs_0Deg_Gain1.Spe"}) {
        SCOPED_TRACE(name);
        const auto bytes = test::readBytes((test::spectraDir() / name).string());
        const ImportResult original = readSpectrumFile(bytes, name);
        ASSERT_TRUE(original.ok()) << test::refusalOf(original);
        const ImportedSpectrum& in = original.spectra.at(0);
        for (const std::string& extension :
             {std::string("spe"), std::string("chn"), std::string("csv")}) {
            const ImportedSpectrum out = throughHistogramFile(in, extension);
            EXPECT_EQ(out.channels, in.channels);
            if (extension != "chn") { // CHN keeps 63 characters of a title
                EXPECT_EQ(out.title, in.title);
            }
            EXPECT_EQ(out.startTime, in.startTime);
            EXPECT_NEAR(out.liveTimeSeconds, in.liveTimeSeconds, 0.01); // CHN: 20 ms ticks
            EXPECT_NEAR(out.realTimeSeconds, in.realTimeSeconds, 0.01);
            ASSERT_EQ(out.calibration.has_value(), in.calibration.has_value());
            if (in.calibration) {
                const auto a = *programCoefficients(*in.calibration);
                const auto b = *programCoefficients(*out.calibration);
                for (const double ch : {0.0, 1000.0, double(in.channels.size() - 1)}) {
                    // CHN keeps float32 coefficients: 7 significant digits.
                    EXPECT_NEAR(evaluate(b, ch), evaluate(a, ch),
                                extension == "chn" ? 1e-6 * (1.0 + std::abs(evaluate(a, ch)))
                                                   : 1e-12);
                }
            }
        }
    }
}

TEST(SpectrumWriters, RefuseWhatTheFormatCannotHold) {
    ImportedSpectrum s;
    s.channels.assign(70000, 1);
    const auto reasonOf = [&s](SpectrumFormat format) {
        const WrittenSpectrum written = writeSpectrumFile(s, format);
        return written.refusal ? std::optional(written.refusal->reason) : std::nullopt;
    };
    EXPECT_EQ(reasonOf(SpectrumFormat::Chn), RefusalReason::ChnTooManyChannels);
    s.channels.assign(10, 1);
    s.calibration = ImportedCalibration{{0.0, 1.0, 0.0, 1e-9}, 0.0};
    EXPECT_EQ(reasonOf(SpectrumFormat::Chn), RefusalReason::ChnCalibrationAboveQuadratic);
    EXPECT_EQ(reasonOf(SpectrumFormat::Spe), std::nullopt);
    EXPECT_EQ(reasonOf(SpectrumFormat::N42), RefusalReason::FormatNotWritten);
}

std::string fileNamed(SpectrumFormat format) {
    return format == SpectrumFormat::Csv   ? "x.csv"
           : format == SpectrumFormat::Chn ? "x.chn"
                                           : "x.spe";
}

TEST(SpectrumWriters, RefuseTimesAndCalibrationsTheirReadersWouldNotGiveBack) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        double live, real;
        std::vector<double> coefficients; // at channel 1e300: a shift that overflows
        std::optional<RefusalReason> spe, chn;
    } cases[] = {
        {"plain", 600.0, 601.5, {}, std::nullopt, std::nullopt},
        {"no time at all", 0.0, 0.0, {}, std::nullopt, std::nullopt},
        {"negative exposure",
         -1.0,
         -1.0,
         {},
         RefusalReason::TimesNotDurations,
         RefusalReason::TimesNotDurations},
        {"exposure not a number",
         nan,
         600.0,
         {},
         RefusalReason::TimesNotDurations,
         RefusalReason::TimesNotDurations},
        {"real time infinite",
         600.0,
         inf,
         {},
         RefusalReason::TimesNotDurations,
         RefusalReason::TimesNotDurations},
        {"three years (beyond CHN's ticks)",
         1e8,
         1e8,
         {},
         std::nullopt,
         RefusalReason::ChnTimeTooLong},
        {"a calibration that overflows",
         600.0,
         600.0,
         {1.0, 1e300},
         RefusalReason::CalibrationNotFinite,
         RefusalReason::CalibrationNotFinite},
    };
    for (const auto& c : cases) {
        ImportedSpectrum s;
        s.channels = {0, 5, -3, 7};
        s.liveTimeSeconds = c.live;
        s.realTimeSeconds = c.real;
        if (!c.coefficients.empty()) {
            s.calibration = ImportedCalibration{c.coefficients, 1e300};
        }
        for (const auto& [format, expected] : {std::pair{SpectrumFormat::Spe, c.spe},
                                               {SpectrumFormat::Csv, c.spe},
                                               {SpectrumFormat::Chn, c.chn}}) {
            const WrittenSpectrum written = writeSpectrumFile(s, format);
            const auto reason =
                written.refusal ? std::optional(written.refusal->reason) : std::nullopt;
            EXPECT_EQ(reason, expected) << c.what << " as " << formatName(format);
            if (!written.refusal) {
                const ImportResult back = readSpectrumFile(written.bytes, fileNamed(format));
                ASSERT_TRUE(back.ok()) << c.what << ": " << test::refusalOf(back);
                EXPECT_EQ(back.spectra.at(0).channels, s.channels) << c.what;
            }
        }
    }
}

TEST(SpectrumWriters, NamesAndDatesAreWrittenSoTheyReadBackAsThemselves) {
    Histogram h;
    h.channels = {1, 2, 3};
    h.exposure = 10.0;
    const struct {
        const char* what;
        std::string name;
        SystemTime created;
        std::string title;    // as read back
        std::string speTitle; // SPE has no way to write a line that reads as a section
        bool dated;           // SPE and CSV; CHN also needs a year of 1900-2099
        bool chnDated;
    } cases[] = {
        {"a line break and a section in the name", "x\r\n$DATA:\r\n0 0\r\n5",
         SystemTime{2024, 5, 0, 17, 8, 30, 15, 0}, "x  $DATA:  0 0  5", "x  $DATA:  0 0  5", true,
         true},
        {"a name that reads as a section", "$DATA:", SystemTime{1850, 1, 0, 2, 3, 4, 5, 0},
         "$DATA:", "DATA:", true, false},
        {"a date that is none", "Co-60", SystemTime{2024, 13, 0, 40, 0, 0, 0, 0}, "Co-60", "Co-60",
         false, false},
    };
    for (const auto& c : cases) {
        h.name.assign(c.name);
        h.created = c.created;
        const ImportedSpectrum out = exportedSpectrum(h, EnergyCalibration{}, 3);
        for (const auto format : {SpectrumFormat::Spe, SpectrumFormat::Csv, SpectrumFormat::Chn}) {
            const WrittenSpectrum written = writeSpectrumFile(out, format);
            ASSERT_FALSE(written.refusal) << c.what;
            const ImportResult back = readSpectrumFile(written.bytes, fileNamed(format));
            ASSERT_TRUE(back.ok())
                << c.what << " as " << formatName(format) << ": " << test::refusalOf(back);
            const ImportedSpectrum& in = back.spectra.at(0);
            EXPECT_EQ(in.channels, h.channels) << c.what;
            EXPECT_EQ(in.title, format == SpectrumFormat::Spe ? c.speTitle : c.title)
                << c.what << " as " << formatName(format);
            const bool dated = format == SpectrumFormat::Chn ? c.chnDated : c.dated;
            EXPECT_EQ(in.startTime.has_value(), dated) << c.what << " as " << formatName(format);
            if (dated) {
                EXPECT_EQ(in.startTime->year, c.created.year) << c.what;
                EXPECT_EQ(in.startTime->minute, c.created.minute) << c.what;
            }
        }
    }
}

} // namespace
} // namespace kv
