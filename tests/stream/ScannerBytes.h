#pragma once

// Scanning and hand-made stream bytes shared by the scanner tests.

#include "stream/MpegBytes.h"
#include "stream/MpegScanner.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

inline StreamProperties Scan(const QString& path, bool* found = nullptr) {
    StreamProperties props;
    const bool result = ScanMpegHeaders(path, props);
    if (found)
        *found = result;
    return props;
}

// Report labels by text offset, "<212>".
inline QString Label(int offset) {
    return QStringLiteral("<%1>").arg(offset);
}

class MpegScannerBytes : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    StreamProperties ScanBytes(const QByteArray& bytes, bool* found = nullptr) {
        const QString path = dir_.filePath("video.mpg");
        EXPECT_TRUE(WriteAll(path, bytes));
        return Scan(path, found);
    }

    QTemporaryDir dir_;
};

inline QByteArray ElementaryHead(int width = 720, int height = 576, int aspect = 2, int rate = 3) {
    return MpegBytes::SequenceHeader(width, height, aspect, rate) + MpegBytes::SequenceExtension();
}
