// kvantira-cli: the analyser's histogram-file operations without the desktop program.

#include "cli/commands.h"

#include <iostream>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kToolHelp =
    "usage: kvantira-cli VERB [ARGS...]\n"
    "\n"
    "verbs:\n"
    "  info [--json] FILE.hst          list the histograms, calibrations and range of a file\n"
    "  merge OUT.hst IN1.hst [IN...]   join histogram files into one\n"
    "  peak FILE.hst --histogram N --at CHANNEL [--level] [--json]\n"
    "                                  fit the peak near a channel\n"
    "  search FILE.hst [--histogram N] [--efficiency] [--config F.cnf] [--db F.DAT]\n"
    "         [--json|--csv]           find, fit and identify the lines of a spectrum\n"
    "  windows FILE.hst --histogram N [--config F.cnf] [--json]\n"
    "                                  evaluate a spectrum in the count windows\n"
    "  fit FILE.hst --histogram N --range A:B --add KIND[@C:D][,KIND...] [--start K:P0,...]\n"
    "      [--json]                    fit a sum of components to a range\n"
    "  peaks FILE.hst --histogram N [--range A:B] [--search-range R] [--sigma-max S] OUT.hst\n"
    "                                  search peaks by local fits into a new histogram\n"
    "  calibrate FILE --point CH:KEV|--peak CH:KEV ... [--degree D] OUT.hst\n"
    "                                  build the energy calibration from points\n"
    "  smooth FILE [--histogram N] [--radius R|--sigma S] [--config F.cnf] [OUT.hst]\n"
    "                                  add a smoothed copy of a histogram\n"
    "  extract FILE [--histogram N] [--reject R] [--smooth S] [--config F.cnf] [OUT.hst]\n"
    "                                  add a copy with the continuum subtracted\n"
    "  arith FILE [--histogram N] [--second M] [--factor F] [--second-factor G] [--subtract]\n"
    "        [OUT.hst]                 add the weighted sum or difference of two histograms\n"
    "  noise FILE --histogram N [--range A:B] [--json]\n"
    "                                  mean, spread and Poisson spread of a range\n"
    "  memtest 0|1|random [--fault FAULT]... [--ports=direct]\n"
    "                                  test the analyser memory (exit 2: errors found)\n"
    "  measure --exposure SECONDS [--name N] [--comment C] [--threshold T] OUT.hst\n"
    "                                  measure one spectrum and append it to a file\n"
    "  series xray --count N --exposure SECONDS [--interval SECONDS]\n"
    "                                  X-ray series: report each exposure's count windows\n"
    "  series cyclic --cycles N [--trigger COUNT:PAUSE] [--text PATH] OUT.hst\n"
    "                                  cyclic series: one histogram per triggered cycle\n"
    "  export FILE.hst [--all|--histogram N] [--energy] [--y counts|intensity|percent]\n"
    "         [--one-file|--per-histogram] [--names] OUT\n"
    "                                  write histograms as tab-separated text\n"
    "  convert IN OUT [--histogram N] convert between .hst, .spe, .chn, .csv (and read .iec,\n"
    "                                  .n42, .txt, .xml); info, search, peak, fit, windows,\n"
    "                                  peaks, smooth, extract, arith and noise read them too\n"
    "  db list [SPECTORS.DAT]          list the isotopes of an isotope line database\n"
    "  db export SPECTORS.DAT OUT.txt  write an isotope line database as text\n"
    "  db import IN.txt SPECTORS.DAT   build an isotope line database from text\n"
    "  --version                       print the version\n"
    "\n"
    "'kvantira-cli VERB --help' describes a verb. Exit status: 0 success, 1 usage or I/O\n"
    "error, 2 format error, 3 a fit that failed.\n";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kToolHelp;
        return kv::cli::kExitUsage;
    }
    const std::string_view verb = args.front();
    const std::span<const std::string_view> rest(args.begin() + 1, args.end());
    if (verb == "--help" || verb == "-h" || verb == "help") {
        std::cout << kToolHelp;
        return kv::cli::kExitOk;
    }
    if (verb == "--version") {
        std::cout << "kvantira-cli " KV_VERSION "\n";
        return kv::cli::kExitOk;
    }
    if (verb == "info") {
        return kv::cli::runInfo(rest);
    }
    if (verb == "merge") {
        return kv::cli::runMerge(rest);
    }
    if (verb == "peak") {
        return kv::cli::runPeak(rest);
    }
    if (verb == "search") {
        return kv::cli::runSearch(rest);
    }
    if (verb == "windows") {
        return kv::cli::runWindows(rest);
    }
    if (verb == "fit") {
        return kv::cli::runFit(rest);
    }
    if (verb == "peaks") {
        return kv::cli::runPeaks(rest);
    }
    if (verb == "memtest") {
        return kv::cli::runMemtest(rest);
    }
    if (verb == "measure") {
        return kv::cli::runMeasure(rest);
    }
    if (verb == "series") {
        return kv::cli::runSeries(rest);
    }
    if (verb == "export") {
        return kv::cli::runExport(rest);
    }
    if (verb == "convert") {
        return kv::cli::runConvert(rest);
    }
    if (verb == "smooth") {
        return kv::cli::runSmooth(rest);
    }
    if (verb == "extract") {
        return kv::cli::runExtract(rest);
    }
    if (verb == "arith") {
        return kv::cli::runArith(rest);
    }
    if (verb == "noise") {
        return kv::cli::runNoise(rest);
    }
    if (verb == "calibrate") {
        return kv::cli::runCalibrate(rest);
    }
    if (verb == "db") {
        return kv::cli::runDb(rest);
    }
    std::cerr << "kvantira-cli: unknown verb '" << verb << "'\n" << kToolHelp;
    return kv::cli::kExitUsage;
}
