#include "TestUtils.h"
#include "app/Localization.h"
#include "ui/FileDialogEx.h"
#include "ui/StartFolders.h"
#include "ui/UiTestUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

#include <gtest/gtest.h>

namespace lumavo {
namespace {

QString WritePicture(const test::Sandbox& sandbox, const QString& name, int width, int height, QColor colour = Qt::red)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = sandbox.File(name);
    EXPECT_TRUE(picture.save(path));
    return path;
}

// A dialog whose preview frame has a client area of 100 x 100 pixels.
std::unique_ptr<CFileDialogEx> MakeDialog()
{
    auto dialog = std::make_unique<CFileDialogEx>();
    const QRect client = dialog->PreviewFrame()->contentsRect();
    const QSize border = dialog->PreviewFrame()->size() - client.size();
    dialog->PreviewFrame()->setFixedSize(QSize(100, 100) + border);
    return dialog;
}

TEST(FileDialogEx, TitleFiltersAndPanel)
{
    CFileDialogEx dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("打开图片预览对话框"));
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
    // The dialog keeps the filters with their blanks simplified.
    EXPECT_EQ(dialog.nameFilters(),
        QStringList({ ".JPG .JPEG (*.jpg *.jpeg)", ".PNG (*.png)", QStringLiteral("所有文件 (*)") }));

    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->itemText(0), ".JPG .JPEG");
    EXPECT_EQ(types->itemText(1), ".PNG");
    EXPECT_EQ(types->itemText(2), QStringLiteral("所有文件 "));
    EXPECT_EQ(types->currentIndex(), 0);

    auto* group = dialog.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral("图像预浏览"));
    QStringList labels;
    for (QLabel* label : group->findChildren<QLabel*>())
        labels << label->text();
    EXPECT_EQ(labels,
        QStringList({ QStringLiteral("宽:"), QStringLiteral("像素"), QStringLiteral("高:"), QStringLiteral("像素"),
            QStringLiteral("位置:") }));
    for (QLineEdit* box : { dialog.WidthBox(), dialog.HeightBox(), dialog.LocationBox() }) {
        EXPECT_TRUE(box->isReadOnly());
        EXPECT_TRUE(box->text().isEmpty());
        EXPECT_TRUE(group->isAncestorOf(box));
    }
    EXPECT_FALSE(group->isAncestorOf(dialog.PreviewFrame()));
    EXPECT_TRUE(dialog.isAncestorOf(dialog.PreviewFrame()));
}

// The dialog keeps one size that fits an 800 x 600 screen with a title bar,
// shows all of its controls, offers Help and the read-only box, and previews
// a portrait large enough to judge the face.
TEST(FileDialogEx, FixedSizeHelpReadOnlyAndALargePreview)
{
    test::Sandbox sandbox;
    CFileDialogEx dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.isSizeGripEnabled());
    EXPECT_LE(dialog.width(), 800);
    EXPECT_LE(dialog.height(), 570);
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (child->isVisible() && !child->isWindow() && child->parentWidget() == &dialog) {
            EXPECT_TRUE(dialog.rect().contains(child->geometry())) << child->objectName().toStdString();
        }
    }

    ASSERT_NE(dialog.ReadOnlyBox(), nullptr);
    EXPECT_TRUE(dialog.ReadOnlyBox()->isVisible());
    EXPECT_FALSE(dialog.ReadOnlyBox()->isChecked());
    EXPECT_TRUE(dialog.ReadOnlyBox()->text().contains(QStringLiteral("只读")));
    ASSERT_NE(dialog.HelpButton(), nullptr);
    EXPECT_TRUE(dialog.HelpButton()->isVisible());
    QString help;
    test::AnswerNextMessage(&help);
    dialog.HelpButton()->click();
    EXPECT_TRUE(help.contains(QStringLiteral("相片"))) << help.toStdString();
    EXPECT_TRUE(dialog.isVisible());

    // A 2 : 3 portrait fills the frame's height at well over a hundred pixels across.
    const QString portrait = WritePicture(sandbox, "portrait.png", 1200, 1800);
    ASSERT_TRUE(dialog.DrawPreview(portrait));
    EXPECT_GE(dialog.PreviewRect().width(), 200);
    EXPECT_GE(dialog.PreviewRect().height(), 300);
    EXPECT_TRUE(dialog.PreviewFrame()->contentsRect().contains(
        dialog.PreviewRect().translated(dialog.PreviewFrame()->contentsRect().topLeft())));
    dialog.reject();
}

// With the Chinese interface the file list speaks Chinese: headers, the type
// of a folder and the dates, whatever the system's own locale.
TEST(FileDialogEx, TheListShowsChineseTypesAndDates)
{
    test::Sandbox sandbox;
    QDir(sandbox.path()).mkdir("customers");
    const QString photo = WritePicture(sandbox, "wang.jpg", 8, 8);
    {
        QFile file(photo);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7)), QFileDevice::FileModificationTime));
    }
    const QList<QTranslator*> before = qApp->findChildren<QTranslator*>();
    const QLocale locale;
    const QFont font = QApplication::font();
    ASSERT_TRUE(InstallChineseInterface(*qApp));
    {
        CFileDialogEx dialog;
        auto* files = dialog.findChild<QFileSystemModel*>();
        auto* list = dialog.findChild<QTreeView*>("treeView");
        ASSERT_NE(files, nullptr);
        ASSERT_NE(list, nullptr);
        bool loaded = false;
        QObject::connect(files, &QFileSystemModel::directoryLoaded, [&loaded](const QString&) { loaded = true; });
        dialog.setDirectory(sandbox.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 5000));
        QAbstractItemModel* shown = list->model();
        const QModelIndex root = list->rootIndex();
        ASSERT_TRUE(QTest::qWaitFor([&] { return shown->rowCount(root) == 2; }, 5000));

        const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        for (int column = 0; column < 4; ++column) {
            const QString header = shown->headerData(column, Qt::Horizontal).toString();
            EXPECT_FALSE(header.contains(latin)) << header.toStdString();
        }
        for (int row = 0; row < 2; ++row) {
            const QString name = shown->index(row, 0, root).data().toString();
            const QString type = shown->index(row, 2, root).data().toString();
            const QString date = shown->index(row, 3, root).data().toString();
            EXPECT_FALSE(date.contains(latin)) << date.toStdString();
            if (name == QStringLiteral("customers")) {
                EXPECT_EQ(type, QStringLiteral("文件夹"));
            } else {
                EXPECT_TRUE(date.contains(QStringLiteral("2024"))) << date.toStdString();
                EXPECT_TRUE(date.contains(QStringLiteral("14:07"))) << date.toStdString();
            }
        }
    }
    for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
        if (!before.contains(translator)) {
            QCoreApplication::removeTranslator(translator);
            translator->deleteLater();
        }
    }
    QApplication::setFont(font);
    QLocale::setDefault(locale);
}

TEST(FileDialogEx, ListsCapitalisedCameraFilesUnderTheFirstFilter)
{
    test::Sandbox sandbox;
    WritePicture(sandbox, "IMG_0001.JPG", 8, 8);
    WritePicture(sandbox, "holiday.jpeg", 8, 8);
    WritePicture(sandbox, "scan.png", 8, 8);
    test::WriteFile(sandbox.File("notes.txt"), "text");

    CFileDialogEx dialog;
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    bool loaded = false;
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [&loaded](const QString&) { loaded = true; });
    dialog.setDirectory(sandbox.path());
    const QModelIndex root = model->index(sandbox.path());
    QElapsedTimer clock;
    clock.start();
    while (!loaded && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();

    auto visibleNames = [&] {
        QStringList names;
        for (int row = 0; row < model->rowCount(root); ++row)
            names << model->index(row, 0, root).data().toString();
        names.sort();
        return names;
    };
    // The model re-filters a moment after the filter changes.
    auto settle = [&](const QStringList& expected) {
        QElapsedTimer waited;
        waited.start();
        while (visibleNames() != expected && waited.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return visibleNames();
    };
    EXPECT_EQ(visibleNames(), QStringList({ "IMG_0001.JPG", "holiday.jpeg" }));
    dialog.selectNameFilter(".PNG (*.png)");
    EXPECT_EQ(settle({ "scan.png" }), QStringList({ "scan.png" }));
    // The operator's pick in the list of types.
    auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    types->setCurrentIndex(2);
    emit types->activated(2);
    const QStringList everything { "IMG_0001.JPG", "holiday.jpeg", "notes.txt", "scan.png" };
    EXPECT_EQ(settle(everything), everything);
}

TEST(FileDialogEx, PreviewFitsCentresAndNeverEnlarges)
{
    test::Sandbox sandbox;
    auto dialog = MakeDialog();
    ASSERT_EQ(dialog->PreviewFrame()->contentsRect().size(), QSize(100, 100));

    const QString wide = WritePicture(sandbox, "wide.png", 300, 200);
    ASSERT_TRUE(dialog->DrawPreview(wide));
    EXPECT_EQ(dialog->WidthBox()->text(), "300");
    EXPECT_EQ(dialog->HeightBox()->text(), "200");
    EXPECT_EQ(dialog->LocationBox()->text(), wide);
    EXPECT_EQ(dialog->PreviewRect(), QRect(0, 17, 100, 67));
    EXPECT_EQ(dialog->PreviewImage().size(), QSize(100, 67));

    ASSERT_TRUE(dialog->DrawPreview(WritePicture(sandbox, "four-three.jpg", 400, 300)));
    EXPECT_EQ(dialog->PreviewRect(), QRect(0, 13, 100, 75));

    // Smaller than the frame: own size, centred, white around it; and the
    // frame still shows it when it repaints.
    const QString small = WritePicture(sandbox, "small.png", 40, 30, Qt::blue);
    ASSERT_TRUE(dialog->DrawPreview(small));
    EXPECT_EQ(dialog->PreviewRect(), QRect(30, 35, 40, 30));
    const QImage shown = dialog->PreviewFrame()->grab().toImage();
    const QPoint origin = dialog->PreviewFrame()->contentsRect().topLeft();
    EXPECT_EQ(shown.pixelColor(origin + QPoint(50, 50)), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(origin + QPoint(5, 5)), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(origin + QPoint(95, 95)), QColor(Qt::white));
}

TEST(FileDialogEx, BigPhotoShowsItsRealSize)
{
    test::Sandbox sandbox;
    auto dialog = MakeDialog();
    const QString path = sandbox.File("camera.JPG");
    ASSERT_TRUE(test::MakeTestPhoto(3000, 2000).save(path, "JPEG", 85));
    ASSERT_TRUE(dialog->DrawPreview(path));
    EXPECT_EQ(dialog->WidthBox()->text(), "3000");
    EXPECT_EQ(dialog->HeightBox()->text(), "2000");
    EXPECT_EQ(dialog->PreviewRect(), QRect(0, 17, 100, 67));
}

TEST(FileDialogEx, LongPathIsShownWhole)
{
    // Deeper than the 260 characters an old path buffer held.
    test::Sandbox sandbox;
    QString folder = sandbox.path();
    while (folder.size() < 300)
        folder += QStringLiteral("/客户相片文件夹-customer-photos-folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/portrait.png");
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::green);
    ASSERT_TRUE(picture.save(path, "PNG"));

    auto dialog = MakeDialog();
    emit dialog->currentChanged(path);
    EXPECT_EQ(dialog->LocationBox()->text(), QDir::toNativeSeparators(path));
    EXPECT_EQ(dialog->WidthBox()->text(), "30");
    EXPECT_EQ(dialog->PreviewRect(), QRect(35, 40, 30, 20));
}

TEST(FileDialogEx, FoldersAndNonPicturesLeaveThePanelAlone)
{
    test::Sandbox sandbox;
    auto dialog = MakeDialog();
    const QString picture = WritePicture(sandbox, "kept.png", 300, 200);
    QDir(sandbox.path()).mkdir("album.jpg");
    test::WriteFile(sandbox.File("notes.txt"), "not a picture");
    test::WriteFile(sandbox.File("broken.jpg"), QByteArray("\xFF\xD8\xFF\xE0 truncated", 14));

    // The selection signal drives the panel as the dialog's list does.
    emit dialog->currentChanged(picture);
    ASSERT_EQ(dialog->LocationBox()->text(), picture);
    const QImage before = dialog->PreviewImage();

    for (const QString& other : { sandbox.File("album.jpg"), sandbox.File("notes.txt"), sandbox.File("broken.jpg"),
             sandbox.File("missing.png") }) {
        emit dialog->currentChanged(other);
        EXPECT_FALSE(dialog->DrawPreview(other)) << other.toStdString();
        EXPECT_EQ(dialog->LocationBox()->text(), picture);
        EXPECT_EQ(dialog->WidthBox()->text(), "300");
        EXPECT_EQ(dialog->HeightBox()->text(), "200");
        EXPECT_EQ(dialog->PreviewRect(), QRect(0, 17, 100, 67));
        EXPECT_EQ(dialog->PreviewImage(), before);
    }
}

TEST(FileDialogEx, DialogsOpenWhereTheOperatorLastWorked)
{
    test::Sandbox sandbox;
    QDir(sandbox.path()).mkdir("customers");
    const QString before = StartFolder(FolderUse::Photos);

    RememberFolder(FolderUse::Photos, sandbox.File("customers/wang.jpg"));
    EXPECT_EQ(StartFolder(FolderUse::Photos), sandbox.File("customers"));
    // Saves keep their own folder.
    EXPECT_NE(StartFolder(FolderUse::Saves), sandbox.File("customers"));

    // A folder that has gone away is not offered.
    ASSERT_TRUE(QDir(sandbox.File("customers")).removeRecursively());
    EXPECT_EQ(StartFolder(FolderUse::Photos), before);
}

} // namespace
} // namespace lumavo
