#include "components/kq_datetime.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tarvix {
namespace {

TEST(DateTime, EncodesDaysSinceTheEpochAndTheFractionOfTheDay)
{
    struct Case {
        TDateTimeFields fields;
        TDateTime value;
    };
    const std::vector<Case> cases = {
        {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
        {{1899, 12, 30, 12, 0, 0, 0}, 0.5},
        {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
        {{1970, 1, 1, 0, 0, 0, 0}, 25569.0},
        {{2000, 2, 29, 18, 0, 0, 0}, 36585.75},
        // Before the epoch the fraction still counts forward from midnight.
        {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
        {{1899, 12, 29, 0, 0, 0, 0}, -1.0},
        {{1, 1, 1, 0, 0, 0, 0}, -693593.0},
        {{9999, 12, 31, 0, 0, 0, 0}, 2958465.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fields.Year) + "-" + std::to_string(c.fields.Month) + "-" +
                     std::to_string(c.fields.Day));
        EXPECT_DOUBLE_EQ(EncodeDateTime(c.fields), c.value);
        EXPECT_EQ(DecodeDateTime(c.value), c.fields);
    }
    EXPECT_DOUBLE_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(DateTime, RoundTripsToTheMillisecond)
{
    const std::vector<TDateTimeFields> samples = {
        {2025, 3, 9, 23, 59, 59, 999}, {1601, 1, 1, 0, 0, 0, 1},        {1899, 12, 29, 23, 59, 59, 999},
        {1800, 6, 15, 13, 14, 15, 16}, {9999, 12, 31, 23, 59, 59, 999}, {2024, 2, 29, 0, 0, 1, 0},
    };
    for (const TDateTimeFields& f : samples)
        EXPECT_EQ(DecodeDateTime(EncodeDateTime(f)), f) << f.Year << "-" << f.Month << "-" << f.Day;
}

TEST(DateTime, RejectsInvalidFields)
{
    const std::vector<TDateTimeFields> invalid = {
        {2023, 2, 29, 0, 0, 0, 0}, {1900, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0}, {2024, 0, 1, 0, 0, 0, 0},
        {2024, 4, 31, 0, 0, 0, 0}, {2024, 1, 0, 0, 0, 0, 0},  {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000},
        {2024, 1, 1, -1, 0, 0, 0},
    };
    for (const TDateTimeFields& f : invalid) {
        TDateTime untouched = 42;
        EXPECT_FALSE(TryEncodeDateTime(f, untouched));
        EXPECT_EQ(untouched, 42);
        EXPECT_THROW(EncodeDateTime(f), std::out_of_range);
    }
}

TEST(DateTime, DecodesATimeThatRoundsToMidnightAsTheNextDay)
{
    EXPECT_EQ(DecodeDateTime(2.0 - 1e-10), (TDateTimeFields{1900, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(2.0 - 0.4 / MSecsPerDay), (TDateTimeFields{1900, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(2.0 - 0.6 / MSecsPerDay), (TDateTimeFields{1899, 12, 31, 23, 59, 59, 999}));
}

TEST(DateTime, RejectsValuesOutsideTheCalendar)
{
    for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), 2958466.0, -693594.5, 1e300}) {
        EXPECT_THROW(DecodeDateTime(v), std::out_of_range) << v;
    }
}

#ifndef _WIN32
// Now is local time: with the zone set to UTC+3 it runs three hours ahead of the UTC day count.
TEST(DateTime, NowIsLocalTime)
{
    const char* oldTz = std::getenv("TZ");
    const std::optional<std::string> saved = oldTz ? std::optional<std::string>(oldTz) : std::nullopt;

    auto utcNow = [] {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        return static_cast<double>(ms) / static_cast<double>(MSecsPerDay) + static_cast<double>(UnixDateDelta);
    };
    const double oneSecond = 1.0 / SecsPerDay;
    for (const auto& [tz, hours] : std::vector<std::pair<const char*, int>>{{"UTC0", 0}, {"AAA-3", 3}, {"BBB5", -5}}) {
        setenv("TZ", tz, 1);
        tzset();
        const double before = utcNow();
        const double now = Now();
        const double after = utcNow();
        const double shift = hours / 24.0;
        EXPECT_GE(now, before + shift - oneSecond) << tz;
        EXPECT_LE(now, after + shift + oneSecond) << tz;
    }

    if (saved)
        setenv("TZ", saved->c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif

} // namespace
} // namespace tarvix
