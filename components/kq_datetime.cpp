#include "components/kq_datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <stdexcept>
#include <string>

namespace tarvix {

namespace {

using namespace std::chrono;

// Day number of a civil date: days since 30 December 1899 (negative before it).
int64_t dayNumber(const year_month_day& ymd)
{
    return static_cast<int64_t>(sys_days(ymd).time_since_epoch().count()) + UnixDateDelta;
}

year_month_day civilDate(int64_t day)
{
    return year_month_day(sys_days(days(day - UnixDateDelta)));
}

const int64_t FirstDay = dayNumber(year(1) / January / 1);
const int64_t LastDay = dayNumber(year(9999) / December / 31);

} // namespace

bool TryEncodeDateTime(const TDateTimeFields& f, TDateTime& result)
{
    if (f.Year < 1 || f.Year > 9999)
        return false;
    const year_month_day ymd(year(f.Year), month(static_cast<unsigned>(f.Month)), day(static_cast<unsigned>(f.Day)));
    if (f.Month < 1 || f.Day < 1 || !ymd.ok())
        return false;
    if (f.Hour < 0 || f.Hour > 23 || f.Minute < 0 || f.Minute > 59 || f.Second < 0 || f.Second > 59 ||
        f.MilliSecond < 0 || f.MilliSecond > 999)
        return false;

    const int64_t ms = ((int64_t{f.Hour} * 60 + f.Minute) * 60 + f.Second) * 1000 + f.MilliSecond;
    const double time = static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
    const double date = static_cast<double>(dayNumber(ymd));
    // Before the epoch the fraction still counts forward from midnight, so it is subtracted.
    result = date < 0 ? date - time : date + time;
    return true;
}

TDateTime EncodeDateTime(const TDateTimeFields& fields)
{
    TDateTime result = 0;
    if (!TryEncodeDateTime(fields, result))
        throw std::out_of_range("Invalid date or time: " + std::to_string(fields.Year) + "-" +
                                std::to_string(fields.Month) + "-" + std::to_string(fields.Day) + " " +
                                std::to_string(fields.Hour) + ":" + std::to_string(fields.Minute) + ":" +
                                std::to_string(fields.Second) + "." + std::to_string(fields.MilliSecond));
    return result;
}

TDateTime EncodeDate(int y, int m, int d)
{
    return EncodeDateTime({y, m, d, 0, 0, 0, 0});
}

TDateTime EncodeTime(int hour, int minute, int second, int milliSecond)
{
    return EncodeDateTime({1899, 12, 30, hour, minute, second, milliSecond});
}

TDateTimeFields DecodeDateTime(TDateTime value)
{
    if (!std::isfinite(value) || value < static_cast<double>(FirstDay) - 1 || value > static_cast<double>(LastDay) + 1)
        throw std::out_of_range("Invalid date-time value: " + std::to_string(value));

    int64_t dayNo = static_cast<int64_t>(std::trunc(value));
    int64_t ms = std::llround(std::fabs(value - static_cast<double>(dayNo)) * static_cast<double>(MSecsPerDay));
    if (ms >= MSecsPerDay) {
        ms -= MSecsPerDay;
        ++dayNo;
    }
    if (dayNo < FirstDay || dayNo > LastDay)
        throw std::out_of_range("Invalid date-time value: " + std::to_string(value));

    const year_month_day ymd = civilDate(dayNo);
    TDateTimeFields f;
    f.Year = static_cast<int>(ymd.year());
    f.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    f.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    f.MilliSecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    f.Second = static_cast<int>(ms % 60);
    ms /= 60;
    f.Minute = static_cast<int>(ms % 60);
    f.Hour = static_cast<int>(ms / 60);
    return f;
}

TDateTime Now()
{
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto sinceSecond = duration_cast<milliseconds>(now - system_clock::from_time_t(seconds)).count();
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    TDateTimeFields f;
    f.Year = local.tm_year + 1900;
    f.Month = local.tm_mon + 1;
    f.Day = local.tm_mday;
    f.Hour = local.tm_hour;
    f.Minute = local.tm_min;
    // A leap second (tm_sec 60) is folded into the last regular one.
    f.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    f.MilliSecond = static_cast<int>(sinceSecond < 0 ? 0 : sinceSecond > 999 ? 999 : sinceSecond);
    return EncodeDateTime(f);
}

} // namespace tarvix
