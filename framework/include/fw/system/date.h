// A moment in local time.
#pragma once

#include <cstdint>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"

namespace fw {

class Date : public Object {
  public:
    // Now.
    Date();
    // A given local date and time.
    Date(int32_t year, int32_t month, int32_t day, int32_t hour = 0, int32_t minute = 0,
         int32_t second = 0);

    int32_t Year() const noexcept { return year_; }
    int32_t Month() const noexcept { return month_; }
    int32_t Day() const noexcept { return day_; }
    int32_t Hour() const noexcept { return hour_; }
    int32_t Minute() const noexcept { return minute_; }
    int32_t Second() const noexcept { return second_; }

    // The date and the time in the user's locale's short forms.
    String ShortDate() const;
    String ShortTime() const;

  private:
    int32_t year_, month_, day_, hour_, minute_, second_;
};

}  // namespace fw
