#pragma once

// The one scanner for every text the program reads: lines, fields and numbers read the way C
// reads them in its own locale, never as the user's locale writes them (Qt sets the locale
// from the environment, and a Russian one would make the comma the decimal point). The
// primitives read at a position and copy no text (lines and fields are views into it); each
// kind of text has its rule on them:
//   dialog fields          numberFromFieldText (model/number_text.h): strtod, 19 characters
//   pasted spectra         parsePastedCounts (model/clipboard_text.h): "%f%d" per CR LF line
//   typed tables           scanNumberPair below: "%lf%lf" at the start of a line
//   other analysers' files the whole-field rules below: decimal numbers filling a field

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// ---- Characters, lines and fields

// C's isspace in the C locale: blank, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The first position from at on that holds no space; text.size() when there is none.
std::size_t skipSpaces(std::string_view text, std::size_t at);

// text without the spaces at either end.
std::string_view trimmed(std::string_view text);

// The lines of a text, without their ends. Lines end with "\r\n" or a lone "\n"; a last line
// without an end counts, an empty text has no lines.
std::vector<std::string_view> splitLines(std::string_view text);

// True when the line holds nothing but blanks and tabs.
bool isBlankLine(std::string_view line);

// The 1-based number of the line that holds text[offset] (lines end with "\n"); an offset at
// or past the end counts as in the last line.
std::size_t lineNumberAt(std::string_view text, std::size_t offset);

// The next field of text from at on, fields being separated by spaces and the extra
// separators; at is moved past it. An empty view (at = text.size()) when no field is left.
std::string_view nextField(std::string_view text, std::size_t& at, std::string_view extra = {});

// Every field of text, as nextField finds them.
std::vector<std::string_view> splitFields(std::string_view text, std::string_view extra = {});

// ---- Numbers at a position

enum class NumberForm {
    Decimal,      // digits with a fraction and an exponent, "inf", "infinity", "nan"
    DecimalOrHex, // also "0x" numbers with a 'p' exponent, as strtod takes them
};

struct ScannedNumber {
    std::size_t end = 0; // just past the number's last character
    // Nothing when the number lies beyond the range of a double: overflow, or underflow to a
    // subnormal or to zero (where strtod reports ERANGE).
    std::optional<double> value;
};

// The number that starts at text[at] (spaces are not skipped), read as strtod reads it in the
// C locale: an optional sign ('+' too), then a number of the given form, as long as it goes.
// Nothing when none starts there, e.g. at a second sign or a '.' without digits.
std::optional<ScannedNumber> scanNumber(std::string_view text, std::size_t at,
                                        NumberForm form = NumberForm::DecimalOrHex);

template <typename Integer> struct ScannedInteger {
    Integer value = 0;
    std::size_t end = 0; // just past the last digit
};

// The decimal integer that starts at text[at], as scanf's "%d" reads it: an optional sign
// ('+' too) and digits. Nothing when none starts there or it lies beyond Integer's range.
// Defined for std::int32_t and std::int64_t.
template <typename Integer>
std::optional<ScannedInteger<Integer>> scanInteger(std::string_view text, std::size_t at);

// ---- Typed tables (isotope lines, efficiency points)

// The two numbers at the start of a line, as "%lf%lf" reads them: spaces may precede each,
// anything may follow the second. Nothing when either is missing; a number beyond the range
// of a double counts as missing.
std::optional<std::pair<double, double>> scanNumberPair(std::string_view line);

// ---- Fields of other analysers' files: decimal numbers only

// A whole field as a finite decimal number: optional sign ('+' too), digits, fraction,
// exponent. Nothing for anything else, including a number followed by other characters.
std::optional<double> wholeNumber(std::string_view field);

// A whole field as a decimal integer in the int64 range.
std::optional<std::int64_t> wholeInteger(std::string_view field);

// A number of counts as the program stores it: the nearest int32. Nothing for a value that is
// not finite or lies outside the int32 range.
std::optional<std::int32_t> countFrom(double value);

// A whole field as a count: an int32 written as an integer, or any number countFrom takes.
std::optional<std::int32_t> wholeCount(std::string_view field);

// Appends the space-separated counts of text (as wholeCount reads them) to out. Where reading
// stopped: text.size() when all were read, else the offset of the first field that is not a
// count or would grow out beyond limit values (out holds the counts before it).
std::size_t appendCounts(std::string_view text, std::vector<std::int32_t>& out, std::size_t limit);

// Finite decimal numbers written one after another from the start of text, as strtod would
// read them ("-1.5E-02 8.0E-01-2.9E-08" is three numbers), until the first thing that is not
// one.
std::vector<double> leadingNumbers(std::string_view text);

} // namespace kv
