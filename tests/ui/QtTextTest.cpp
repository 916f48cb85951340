#include <gtest/gtest.h>

#include "ui/common/QtText.h"

using namespace morvane;

TEST(QtText, GbkRoundTripKeepsWhatUsersType)
{
    const QString typed = QString::fromUtf8("输入: 密钥 \xF0\x9F\x94\x91 abc");
    EXPECT_EQ(ToQt(ToGbk(typed)), typed);
    EXPECT_EQ(ToGbk(QString::fromUtf8("加 密")), Gbk("加 密"));
}
