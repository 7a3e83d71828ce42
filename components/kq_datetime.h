// Date-time values as the component library stores and compares them: a double counting days since
// 30 December 1899, the fraction being the time of day. Values before that day are negative, and their fraction
// still counts forward from midnight (-1.25 is 29 December 1899, 06:00), so the date is the integral part taken
// towards zero and the time is the absolute value of the fraction.
#pragma once

#include <cstdint>

namespace tarvix {

using TDateTime = double;

inline constexpr int64_t HoursPerDay = 24;
inline constexpr int64_t MinsPerDay = HoursPerDay * 60;
inline constexpr int64_t SecsPerDay = MinsPerDay * 60;
inline constexpr int64_t MSecsPerDay = SecsPerDay * 1000;

// Days from 30 December 1899 to 1 January 1970.
inline constexpr int64_t UnixDateDelta = 25569;

// The calendar fields of a date-time value, in local (wall clock) terms; no time zone is attached.
struct TDateTimeFields {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int MilliSecond = 0;

    friend bool operator==(const TDateTimeFields&, const TDateTimeFields&) = default;
};

// Builds a value from calendar fields. Years 1 to 9999; the time fields must lie in their ranges (hour 0-23,
// minute and second 0-59, millisecond 0-999). False, and `result` untouched, when a field is out of range.
bool TryEncodeDateTime(const TDateTimeFields& fields, TDateTime& result);
// As TryEncodeDateTime; raises std::out_of_range for an invalid date or time.
TDateTime EncodeDateTime(const TDateTimeFields& fields);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int milliSecond);

// The calendar fields of a value, the time rounded to the millisecond (a time that rounds up to midnight belongs
// to the next day). Raises std::out_of_range for values outside years 1 to 9999 and for NaN or infinities.
TDateTimeFields DecodeDateTime(TDateTime value);

// The current local date and time, to the millisecond.
TDateTime Now();

} // namespace tarvix
