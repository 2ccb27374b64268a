#include "fw/system/date.h"

#include <QDateTime>
#include <QLocale>

namespace fw {

Date::Date() {
    const QDateTime now = QDateTime::currentDateTime();
    year_ = now.date().year();
    month_ = now.date().month();
    day_ = now.date().day();
    hour_ = now.time().hour();
    minute_ = now.time().minute();
    second_ = now.time().second();
}

Date::Date(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second)
    : year_(year), month_(month), day_(day), hour_(hour), minute_(minute), second_(second) {}

String Date::ShortDate() const {
    return String(
        QLocale::system().toString(QDate(year_, month_, day_), QLocale::ShortFormat).toStdString());
}

String Date::ShortTime() const {
    return String(QLocale::system()
                      .toString(QTime(hour_, minute_, second_), QLocale::ShortFormat)
                      .toStdString());
}

}  // namespace fw
