// Conversion of time texts into seconds since 1970-01-01 00:00:00 UTC.
//
// Accepted forms: YYYYMMDDhhmmss[Z] (long year), YYMMDDhhmmss (short year) and
// the written form "YYYY-MM-DD hh:mm:ss" (any of '-', ':' and blank separate
// the fields). Values outside 1970-01-01 00:00:50 .. 2038-01-19 03:14:07 UTC
// are refused: the exported calls that take a time text from a caller keep
// that window, even though times inside the library are 64-bit.
#pragma once

#include <cstdint>

namespace qelt {

enum class TimeForm { LongYear, ShortYear };

enum class TimeTextResult {
    Ok,
    BadLongForm,   // long-year text of the wrong length
    BadShortForm,  // short-year text of the wrong length
    OutOfRange,    // a missing field, or a time outside the 32-bit range
};

// Converts `text`. With `local` the fields are read as local time (shifted by
// the machine's UTC offset, computed once per process), unless a long-year
// text ends in 'Z' or 'z'.
TimeTextResult convertTimeText(const char* text, TimeForm form, bool local, int64_t& out);

// Days from 1970-01-01 to the given proleptic Gregorian date; any month
// number is normalised into the year first (month 13 is January next year).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d);

// The machine's offset from UTC in seconds (local = UTC + offset), cached.
long localUtcOffset();

}  // namespace qelt
