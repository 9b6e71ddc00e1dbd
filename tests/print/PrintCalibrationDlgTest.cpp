#include "ui/PrintCalibrationDlg.h"

#include "TestUtils.h"
#include "print/PrintedPages.h"
#include "printing/CalibrationStore.h"
#include "printing/CupsPrintQueue.h"
#include "printing/PrintJobs.h"
#include "ui/UiTestUtils.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

using namespace std::chrono_literals;

class CalibrationWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::PrintQueueServer().isEmpty())
            GTEST_SKIP() << "no print queue of the tests' own (run through ctest)";
        ASSERT_TRUE(test::WriteFile(m_path, "4R\t20\t-5\t1003\tLumavoPhoto\n"));
        ASSERT_TRUE(m_store.Load());
        m_window = std::make_unique<CPrintCalibrationDlg>(m_queue, m_store);
        m_window->show();
    }

    template <typename T> T* Find(const char* name) { return m_window->findChild<T*>(QLatin1String(name)); }
    void Choose(const char* box, const QString& text)
    {
        QComboBox* combo = Find<QComboBox>(box);
        ASSERT_NE(combo, nullptr);
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
    }
    // Types a value into a spin box as the operator does.
    void Type(const char* spin, int value)
    {
        QSpinBox* box = Find<QSpinBox>(spin);
        box->selectAll();
        QTest::keyClicks(box, QString::number(value));
        QTest::keyClick(box, Qt::Key_Tab);
    }
    Calibration Shown()
    {
        return Calibration { Find<QSpinBox>("offsetX")->value(), Find<QSpinBox>("offsetY")->value(),
            Find<QSpinBox>("scale")->value() };
    }
    Calibration Saved(const QString& printer, const QString& size)
    {
        CalibrationStore reread(m_path);
        EXPECT_TRUE(reread.Load());
        return reread.Get(printer, size);
    }

    test::Sandbox m_sandbox;
    QString m_path = m_sandbox.File("print-calibration.txt");
    CalibrationStore m_store { m_path };
    CupsPrintQueue m_queue { 20s, test::PrintQueueServer() };
    std::unique_ptr<CPrintCalibrationDlg> m_window;
};

TEST_F(CalibrationWindow, ShowsTypesPrintsAndKeepsCorrections)
{
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("打印校准"));
    Choose("printerBox", QStringLiteral("LumavoPhoto"));
    Choose("sizeBox", QStringLiteral("4R"));
    EXPECT_EQ(Shown(), (Calibration { 20, -5, 1003 }));

    Type("offsetX", 30);
    Type("scale", 1000);
    // Another size shows its own correction; coming back keeps what was typed.
    Choose("sizeBox", QStringLiteral("5R"));
    EXPECT_EQ(Shown(), Calibration {});
    Type("offsetY", -12);
    Choose("sizeBox", QStringLiteral("4R"));
    EXPECT_EQ(Shown(), (Calibration { 30, -5, 1000 }));

    // The sheet is printed with what the window shows: its frame 3.0 mm in.
    QTest::mouseClick(Find<QPushButton>("printSheet"), Qt::LeftButton);
    EXPECT_TRUE(Find<QLabel>("calibrationStatus")->text().contains(QStringLiteral("LumavoPhoto")));
    const QString pdf = test::PrintedFile(m_window->LastPrint().outcome.jobId);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_NEAR(test::InkedAreaMm(test::RenderPdfPage(pdf)).left(), 3.0, 0.5);

    EXPECT_EQ(Saved(QStringLiteral("LumavoPhoto"), QStringLiteral("4R")), (Calibration { 20, -5, 1003 }));
    QTest::mouseClick(Find<QPushButton>("saveCalibration"), Qt::LeftButton);
    EXPECT_EQ(Saved(QStringLiteral("LumavoPhoto"), QStringLiteral("4R")), (Calibration { 30, -5, 1000 }));
    EXPECT_EQ(Saved(QStringLiteral("LumavoPhoto"), QStringLiteral("5R")), (Calibration { 0, -12, 1000 }));

    // Closing with nothing unsaved asks nothing.
    QTest::mouseClick(Find<QPushButton>("closeCalibration"), Qt::LeftButton);
    EXPECT_FALSE(m_window->isVisible());
}

TEST_F(CalibrationWindow, ARefusingPrinterIsNamedWithItsReason)
{
    Choose("printerBox", QStringLiteral("LumavoStopped"));
    QString message;
    test::AnswerNextMessage(&message);
    EXPECT_FALSE(m_window->PrintTestSheet());
    EXPECT_TRUE(message.startsWith(QStringLiteral("打印失败：打印机“LumavoStopped”已停止"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Paper jam in tray 1")));
}

TEST_F(CalibrationWindow, UnsavedCorrectionsAreAskedAboutOnClosing)
{
    Choose("printerBox", QStringLiteral("LumavoPhoto"));
    Choose("sizeBox", QStringLiteral("4R"));
    Type("offsetX", 45);

    // Cancelled: the window stays.
    QString question;
    test::AnswerNextMessage(&question, QMessageBox::Cancel);
    m_window->reject();
    EXPECT_EQ(question, QStringLiteral("校准值尚未保存，是否保存？"));
    EXPECT_TRUE(m_window->isVisible());

    // Dropped: the file and the store the prints use stay as they were.
    test::AnswerNextMessage(&question, QMessageBox::Discard);
    m_window->reject();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(m_store.Get(QStringLiteral("LumavoPhoto"), QStringLiteral("4R")), (Calibration { 20, -5, 1003 }));
    EXPECT_EQ(Saved(QStringLiteral("LumavoPhoto"), QStringLiteral("4R")), (Calibration { 20, -5, 1003 }));

    // Kept: saved on the way out.
    m_window->show();
    Type("offsetX", 45);
    test::AnswerNextMessage(&question, QMessageBox::Save);
    m_window->reject();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(Saved(QStringLiteral("LumavoPhoto"), QStringLiteral("4R")), (Calibration { 45, -5, 1003 }));
}

} // namespace
} // namespace lumavo
