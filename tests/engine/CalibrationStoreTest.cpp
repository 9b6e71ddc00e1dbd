#include "printing/CalibrationStore.h"

#include "TestUtils.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

TEST(CalibrationStore, KeepsEachPrinterAndSizeThroughTheFile)
{
    test::Sandbox sandbox;
    const QString path = sandbox.File("config/lumavo/print-calibration.txt");
    const QString dyeSub = QStringLiteral("照相馆 DS-RX1 (前台)");
    {
        CalibrationStore store(path);
        ASSERT_TRUE(store.Load()); // no file yet: nothing calibrated
        EXPECT_EQ(store.size(), 0);
        EXPECT_TRUE(store.Set(dyeSub, QStringLiteral("4R"), Calibration { 20, -5, 1003 }));
        EXPECT_TRUE(store.Set(dyeSub, QStringLiteral("a4"), Calibration { -12, 7, 995 }));
        EXPECT_TRUE(store.Set(QStringLiteral("Office"), QStringLiteral("4R"), Calibration { 1, 2, 1000 }));
        // Beyond any sensible correction: brought within the limits.
        EXPECT_TRUE(store.Set(QStringLiteral("Wild"), QStringLiteral("A6"), Calibration { 9999, -9999, 5 }));
        EXPECT_FALSE(store.Set(QStringLiteral("Office"), QStringLiteral("9R"), Calibration { 1, 1, 1000 }));
        EXPECT_FALSE(store.Set(QStringLiteral("two\nlines"), QStringLiteral("4R"), Calibration { 1, 1, 1000 }));
        QString error;
        ASSERT_TRUE(store.Save(&error)) << error.toStdString();
    }
    CalibrationStore reread(path);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.size(), 4);
    EXPECT_EQ(reread.Get(dyeSub, QStringLiteral("4r")), (Calibration { 20, -5, 1003 }));
    EXPECT_EQ(reread.Get(dyeSub, QStringLiteral("A4")), (Calibration { -12, 7, 995 }));
    EXPECT_EQ(reread.Get(QStringLiteral("Office"), QStringLiteral("4R")), (Calibration { 1, 2, 1000 }));
    EXPECT_EQ(reread.Get(QStringLiteral("Wild"), QStringLiteral("A6")),
        (Calibration { kMaxOffsetTenthsMm, -kMaxOffsetTenthsMm, kMinScaleThousandths }));
    // Not calibrated: no correction.
    EXPECT_EQ(reread.Get(dyeSub, QStringLiteral("5R")), Calibration {});
    EXPECT_EQ(reread.Get(QStringLiteral("Other"), QStringLiteral("4R")), Calibration {});
}

TEST(CalibrationStore, LinesThatMakeNoSenseAreSkippedAndTheRestKept)
{
    test::Sandbox sandbox;
    const QString path = sandbox.File("print-calibration.txt");
    QByteArray text = "# comment\r\n"
                      "4R\t20\t-5\t1003\tGood Printer\r\n"
                      "4R\t20\t-5\tGood Printer\n" // a field short
                      "9R\t1\t1\t1000\tGood Printer\n" // no such size
                      "A4\tx\t1\t1000\tGood Printer\n"
                      "A5\t1\t1\t4000\tGood Printer\n" // scale far out
                      "A6\t1\t1\t1000\t\n" // no printer
                      "5R  1  2  1001  Spaces Printer\n" // not tab-separated
                      "\t\t\t\t\n";
    text += QByteArray("\x00\xff\xfe garbage \x80\x81\n", 15);
    text += "6R\t-3\t4\t998\tGood Printer\n";
    ASSERT_TRUE(test::WriteFile(path, text));

    CalibrationStore store(path);
    ASSERT_TRUE(store.Load());
    EXPECT_EQ(store.size(), 2);
    EXPECT_EQ(store.Get(QStringLiteral("Good Printer"), QStringLiteral("4R")), (Calibration { 20, -5, 1003 }));
    EXPECT_EQ(store.Get(QStringLiteral("Good Printer"), QStringLiteral("6R")), (Calibration { -3, 4, 998 }));
    EXPECT_EQ(store.Get(QStringLiteral("Good Printer"), QStringLiteral("A5")), Calibration {});

    // A folder where the file should be: unreadable, so the store says so.
    CalibrationStore folder(sandbox.path());
    EXPECT_FALSE(folder.Load());
    EXPECT_EQ(folder.size(), 0);
}

TEST(CalibrationStore, AFailedSaveSaysSoAndLeavesTheOldFile)
{
    test::Sandbox sandbox;
    ASSERT_TRUE(test::WriteFile(sandbox.File("plain-file"), "x"));
    CalibrationStore blocked(sandbox.File("plain-file/lumavo/print-calibration.txt"));
    blocked.Set(QStringLiteral("P"), QStringLiteral("4R"), Calibration { 1, 1, 1000 });
    QString error;
    EXPECT_FALSE(blocked.Save(&error));
    EXPECT_FALSE(error.isEmpty());

    // A folder in the file's place cannot be replaced: it stays as it was.
    ASSERT_TRUE(QDir(sandbox.path()).mkpath("taken/print-calibration.txt"));
    CalibrationStore taken(sandbox.File("taken/print-calibration.txt"));
    taken.Set(QStringLiteral("P"), QStringLiteral("4R"), Calibration { 1, 1, 1000 });
    EXPECT_FALSE(taken.Save(&error));
    EXPECT_TRUE(QFileInfo(sandbox.File("taken/print-calibration.txt")).isDir());
}

} // namespace
} // namespace lumavo
