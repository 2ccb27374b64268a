#include <gtest/gtest.h>

#include <QDateTime>
#include <QLocale>

#include "fw/system/date.h"

namespace fw {
namespace {

TEST(Date, ShortFormsFollowTheUserLocale) {
    const Date d(2024, 3, 7, 14, 5, 9);
    EXPECT_EQ(d.ShortDate().Bytes(),
              QLocale::system().toString(QDate(2024, 3, 7), QLocale::ShortFormat).toStdString());
    EXPECT_EQ(d.ShortTime().Bytes(),
              QLocale::system().toString(QTime(14, 5, 9), QLocale::ShortFormat).toStdString());
    EXPECT_FALSE(d.ShortDate().IsEmpty());
    EXPECT_NE(d.ShortTime().Bytes().find("05"), std::string::npos);
}

TEST(Date, DefaultIsNow) {
    const QDateTime before = QDateTime::currentDateTime();
    const Date now;
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime got(QDate(now.Year(), now.Month(), now.Day()),
                        QTime(now.Hour(), now.Minute(), now.Second()));
    EXPECT_LE(before.addSecs(-1), got);
    EXPECT_LE(got, after);
}

}  // namespace
}  // namespace fw
