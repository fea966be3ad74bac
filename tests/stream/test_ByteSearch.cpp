#include "stream/ByteSearch.h"

#include <gtest/gtest.h>

TEST(ByteSearch, FindsFirstAndLast) {
    const QByteArray block = QByteArray::fromHex("0000010000000001b30000");
    EXPECT_EQ(FindFirst(block, Pattern(StartCode::Picture)), 1);
}
