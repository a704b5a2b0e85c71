// The window as an operator uses it: open, see, check, read the verdict, close.
// Every dialog and message box is the real one, answered by a ModalDriver.

#include "Unit1.h"
#include "support/ModalDriver.h"
#include "support/VoucherWriter.h"

#include <algorithm>
#include <filesystem>

#include <sys/fsuid.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumbrik;
using namespace lumbrik::testing;
using lumbrik::fixtures::PNGSUITE_WITHOUT_HEADER;

namespace {

const QString AT_REST = QString::fromUtf8("查验结果：");
const QString FAILED_BOX = QString::fromUtf8("校验失败，错误信息：获取加密信息失败！");
const QString NO_PICTURE_BOX =
    QString::fromUtf8("图片加载失败，错误信息：This operation is not valid because the current image contains no valid header.");
const QColor BLUE(0, 0, 255), RED(255, 0, 0);
constexpr uid_t NOBODY = 65534;

// Runs work with the file system's permission checks of the user nobody, as
// an operator without rights to the file would meet them.
template <class Work>
void asNobody(Work work)
{
    const int iBefore = setfsuid(NOBODY);
    work();
    setfsuid(uid_t(iBefore));
}

QString passedText(const QString &sName)
{
    return QString::fromUtf8("查验结果：自应用本签名以来，“%1”没有被篡改。").arg(sName);
}

QString failedText(const QString &sName)
{
    return QString::fromUtf8("查验结果：自应用本签名以来，“%1”已被篡改，请停止使用。").arg(sName);
}

} // namespace

class TestWindowBehaviour : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void atRest();
    void checkBeforeOpen();
    void passedCheck();
    void failedCheck_data();
    void failedCheck();
    void failedCheckBoxComesFirst();
    void fileDeletedAfterOpening();
    void notAPicture();
    void cancelKeepsEverything();
    void faultyEndStillShowsThePicture();
    void pictureHeader_data();
    void pictureHeader();
    void editedSignaturesAreDiscarded();
    void lineBreaksInSignatures();
    void fileNameShownAsItIs();
    void openDialog();
    void toolkitSpeaksChinese();
    void typedPathLosesNoClick();
    void formatIsAlwaysPng_data();
    void formatIsAlwaysPng();
    void droppedFileIsOpened();
    void pngSuiteOpens();
    void hostileFiles_data();
    void hostileFiles();
    void hugePictureIsRefusedButChecked();
    void unreadableFileIsNotJudged_data();
    void unreadableFileIsNotJudged();
    void replacedFileIsShownAsChecked_data();
    void replacedFileIsShownAsChecked();
    void escapeInATextBoxDoesNothing_data();
    void escapeInATextBoxDoesNothing();
    void closeButtonClosesTheWindow();
    void keyPressesTheFocusedButton_data();
    void keyPressesTheFocusedButton();
    void cutVerdictCanBeRead();

private:
    QString write(const QString &sName, const QByteArray &ab);
    template <class T = QWidget>
    T *control(const char *sName) const { return form->findChild<T *>(QLatin1String(sName)); }
    QString labelText() const { return control<QLabel>("lbl_CheckResult")->text(); }
    QColor labelColour() const { return control<QLabel>("lbl_CheckResult")->palette().color(QPalette::WindowText); }
    QString czText() const { return control<QPlainTextEdit>("mo_Czqm")->toPlainText(); }
    QString dwText() const { return control<QPlainTextEdit>("mo_Dwqm")->toPlainText(); }
    QPixmap picture() const { return control<QLabel>("Image1")->pixmap(); }
    // What the window shows in words; a busy cursor left over would show too.
    QString snapshot() const
    {
        return labelText() + u'|' + czText() + u'|' + dwText() + (QApplication::overrideCursor() ? QStringLiteral("|busy") : QString());
    }
    void click(const char *sButton) { QTest::mouseClick(control<QPushButton>(sButton), Qt::LeftButton); }
    void open(const QString &sPath, bool bPictureBox = false);
    void check(bool bBox = true);
    void drop(const QString &sPath);
    void verifyAnswered();

    QTemporaryDir dir;
    QString sGood, sTampered, sPlain, sNotPng, sBadEndCrc, sLineBreaks, sJpegNamedPng, sPngNamedJpg;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<ModalDriver> driver;
};

QString TestWindowBehaviour::write(const QString &sName, const QByteArray &ab)
{
    return writeFixture(dir.path(), sName, ab);
}

void TestWindowBehaviour::initTestCase()
{
    const QByteArray idat = chunk("IDAT", IMAGE_DATA);
    const QByteArray good = goodVoucher();
    sGood = write(QStringLiteral("good.png"), good);
    sTampered = write(QStringLiteral("tampered.png"),
                      pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA.left(20) + "\x77\x77\x77\x77\x77"_qba)
                          + chunk("IEND", payload(QLatin1String(IMAGE_SEAL), voucherXml(QStringLiteral("CZ-SIG"), QStringLiteral("DW-SIG")))));
    sPlain = write(QStringLiteral("plain.png"), pngSignature() + ihdr() + idat + chunk("IEND", {}));
    sNotPng = write(QStringLiteral("notes.png"), "just some text, no picture\n"_qba);
    sBadEndCrc = write(QStringLiteral("bad-end-crc.png"), good.chopped(4) + "\0\0\0\0"_qba);
    sLineBreaks = write(QStringLiteral("lines.png"),
                        voucher(payload(QLatin1String(IMAGE_SEAL), voucherXml(QStringLiteral("c1&#13;&#10;c2&#13;c3&#10;c4"),
                                                                              QStringLiteral("d1")))));
    sPngNamedJpg = write(QStringLiteral("voucher.jpg"), good);
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::green);
    sJpegNamedPng = dir.filePath(QStringLiteral("photo.png"));
    QVERIFY(image.save(sJpegNamedPng, "JPG"));
}

void TestWindowBehaviour::init()
{
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    driver = std::make_unique<ModalDriver>([this] { return snapshot(); });
}

void TestWindowBehaviour::cleanup()
{
    driver.reset();
    form.reset();
}

void TestWindowBehaviour::verifyAnswered()
{
    for (const SeenModal &m : driver->seen())
        QVERIFY2(!m.sKind.startsWith(u"unexpected"), qPrintable(m.sKind + u' ' + m.sTitle + u' ' + m.sText));
    QVERIFY2(driver->allAnswered(), "a planned dialog or box did not come");
}

void TestWindowBehaviour::open(const QString &sPath, bool bPictureBox)
{
    driver->chooseFile(sPath);
    if (bPictureBox)
        driver->acknowledgeBox();
    click("btn_OpenFile");
    verifyAnswered();
}

void TestWindowBehaviour::check(bool bBox)
{
    if (bBox)
        driver->acknowledgeBox();
    click("btn_CheckVoucher");
    verifyAnswered();
}

void TestWindowBehaviour::drop(const QString &sPath)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(sPath)});
    QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(QPointF(100, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form.get(), &dropped);
}

void TestWindowBehaviour::atRest()
{
    QCOMPARE(labelText(), AT_REST);
    QCOMPARE(labelColour(), BLUE);
    QVERIFY(czText().isEmpty() && dwText().isEmpty());
    QCOMPARE(control<QTabWidget>("PageControl1")->currentIndex(), 0);
    QVERIFY(picture().isNull());
}

void TestWindowBehaviour::checkBeforeOpen()
{
    check();
    const SeenModal box = driver->seen().value(0);
    QCOMPARE(box.sKind, QStringLiteral("box"));
    QCOMPARE(box.sTitle, QString::fromUtf8("提示"));
    QCOMPARE(box.sText, QString::fromUtf8("请先打开票据文件！"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.pParent, form.get());
    QCOMPARE(labelText(), AT_REST);
    QCOMPARE(labelColour(), BLUE);
}

void TestWindowBehaviour::passedCheck()
{
    open(sGood);
    QCOMPARE(picture().size(), QSize(IMAGE_WIDTH, IMAGE_HEIGHT));
    control<QTabWidget>("PageControl1")->setCurrentIndex(1);
    check();
    const SeenModal box = driver->seen().value(1);
    QCOMPARE(box.sTitle, QString::fromUtf8("提示"));
    QCOMPARE(box.sText, QString::fromUtf8("校验通过！"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.pParent, form.get());
    // The label and the signatures are shown before the box.
    QCOMPARE(box.sSnapshot, passedText(QStringLiteral("good.png")) + QStringLiteral("|CZ-SIG|DW-SIG"));
    QCOMPARE(labelColour(), BLUE);
    QCOMPARE(control<QTabWidget>("PageControl1")->currentIndex(), 1);
    // Opening the next file returns to the first tab, the label at rest.
    open(sPlain);
    QCOMPARE(control<QTabWidget>("PageControl1")->currentIndex(), 0);
    QCOMPARE(snapshot(), AT_REST + QStringLiteral("||"));
}

void TestWindowBehaviour::failedCheck_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("pictureBox");
    QTest::newRow("tampered image data") << sTampered << false;
    QTest::newRow("ordinary PNG") << sPlain << false;
    QTest::newRow("not a PNG") << sNotPng << true;
}

void TestWindowBehaviour::failedCheck()
{
    QFETCH(QString, file);
    QFETCH(bool, pictureBox);
    open(file, pictureBox);
    check();
    const SeenModal box = driver->seen().last();
    QCOMPARE(box.sTitle, QString::fromUtf8("错啦"));
    QCOMPARE(box.sText, FAILED_BOX);
    QCOMPARE(box.icon, QMessageBox::Information);
    QCOMPARE(box.pParent, form.get());
    QCOMPARE(labelText(), failedText(QFileInfo(file).fileName()));
    QCOMPARE(labelColour(), RED);
    QVERIFY(czText().isEmpty() && dwText().isEmpty());
}

void TestWindowBehaviour::failedCheckBoxComesFirst()
{
    const QString sPath = write(QStringLiteral("changes.png"), goodVoucher());
    open(sPath);
    check();
    QFile::remove(sPath);
    QFile::copy(sTampered, sPath);
    check();
    const SeenModal box = driver->seen().last();
    QCOMPARE(box.sText, FAILED_BOX);
    QCOMPARE(box.sSnapshot, passedText(QStringLiteral("changes.png")) + QStringLiteral("|CZ-SIG|DW-SIG"));
    QCOMPARE(snapshot(), failedText(QStringLiteral("changes.png")) + QStringLiteral("||"));
}

void TestWindowBehaviour::fileDeletedAfterOpening()
{
    const QString sPath = write(QStringLiteral("gone.png"), goodVoucher());
    open(sPath);
    QFile::remove(sPath);
    check();
    const SeenModal box = driver->seen().last();
    QCOMPARE(box.sTitle, QString::fromUtf8("提示"));
    QCOMPARE(box.sText, QString::fromUtf8("指定票据文件不存在！"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(labelText(), AT_REST);
}

void TestWindowBehaviour::notAPicture()
{
    open(sGood);
    check();
    open(sNotPng, true);
    const SeenModal box = driver->seen().last();
    QCOMPARE(box.sTitle, QString::fromUtf8("出错啦"));
    QCOMPARE(box.sText, NO_PICTURE_BOX);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.pParent, form.get());
    // The display is reset after the box.
    QCOMPARE(box.sSnapshot, passedText(QStringLiteral("good.png")) + QStringLiteral("|CZ-SIG|DW-SIG"));
    QCOMPARE(snapshot(), AT_REST + QStringLiteral("||"));
    QVERIFY(picture().isNull());
    check();
    QCOMPARE(driver->seen().last().sText, FAILED_BOX);
}

void TestWindowBehaviour::cancelKeepsEverything()
{
    open(sGood);
    check();
    const QString sBefore = snapshot();
    const QImage before = picture().toImage();
    driver->cancelDialog();
    click("btn_OpenFile");
    verifyAnswered();
    QCOMPARE(snapshot(), sBefore);
    QCOMPARE(picture().toImage(), before);
    check();
    QCOMPARE(driver->seen().last().sText, QString::fromUtf8("校验通过！"));
}

void TestWindowBehaviour::faultyEndStillShowsThePicture()
{
    open(sBadEndCrc);
    const QImage shown = picture().toImage();
    QCOMPARE(shown.size(), QSize(IMAGE_WIDTH, IMAGE_HEIGHT));
    // The picture's known pixels: red, green, blue, white; black, grey, yellow, cyan.
    QCOMPARE(QColor(shown.pixel(0, 0)), QColor(255, 0, 0));
    QCOMPARE(QColor(shown.pixel(3, 0)), QColor(255, 255, 255));
    QCOMPARE(QColor(shown.pixel(1, 1)), QColor(128, 128, 128));
    check();
    QCOMPARE(driver->seen().last().sText, QString::fromUtf8("校验通过！")); // CRCs are not sealed
}

void TestWindowBehaviour::pictureHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("header");
    const QByteArray idatEnd = chunk("IDAT", IMAGE_DATA) + chunk("IEND", {});
    const auto header = [](const char *abFields) {
        return chunk("IHDR", bigEndian(IMAGE_WIDTH) + bigEndian(IMAGE_HEIGHT) + QByteArray(abFields, 5));
    };
    // The header was read: whatever comes after it is no reason for the box.
    QTest::newRow("PLTE with a wrong CRC") << pngSignature() + ihdr() + chunk("PLTE", "\1\2\3"_qba, Crc::Wrong) + idatEnd << true;
    QTest::newRow("PLTE of a wrong length") << pngSignature() + ihdr() + chunk("PLTE", "\1\2\3\4"_qba) + idatEnd << true;
    QTest::newRow("unknown critical chunk before the image data")
        << pngSignature() + ihdr() + chunk("CRIT", "x"_qba) + idatEnd << true;
    QTest::newRow("image data with a wrong CRC")
        << pngSignature() + ihdr() + chunk("IDAT", IMAGE_DATA, Crc::Wrong) + chunk("IEND", {}) << true;
    QTest::newRow("no image data") << pngSignature() + ihdr() + chunk("IEND", {}) << true;
    QTest::newRow("palette picture, 4 bit, interlaced") << pngSignature() + header("\4\3\0\0\1") + idatEnd << true;
    // The header was not read.
    QTest::newRow("IHDR with a wrong CRC") << pngSignature() + chunk("IHDR", ihdr().mid(8, 13), Crc::Wrong) + idatEnd << false;
    QTest::newRow("IHDR not the first chunk") << pngSignature() + chunk("tEXt", "a\0b"_qba) + ihdr() + idatEnd << false;
    QTest::newRow("IHDR cut short") << pngSignature() + ihdr().left(16) << false;
    QTest::newRow("IHDR one byte short") << pngSignature() + chunk("IHDR", ihdr().mid(8, 12)) + idatEnd << false;
    QTest::newRow("width 0") << pngSignature() + chunk("IHDR", bigEndian(0) + ihdr().mid(12, 9)) + idatEnd << false;
    QTest::newRow("height 2^31") << pngSignature() + chunk("IHDR", ihdr().mid(8, 4) + bigEndian(0x80000000u) + ihdr().mid(16, 5)) + idatEnd << false;
    QTest::newRow("bit depth 3") << pngSignature() + header("\3\0\0\0\0") + idatEnd << false;
    QTest::newRow("RGB at 4 bits") << pngSignature() + header("\4\2\0\0\0") + idatEnd << false;
    QTest::newRow("colour type 1") << pngSignature() + header("\x08\1\0\0\0") + idatEnd << false;
    QTest::newRow("compression method 1") << pngSignature() + header("\x08\2\1\0\0") + idatEnd << false;
    QTest::newRow("filter method 1") << pngSignature() + header("\x08\2\0\1\0") + idatEnd << false;
    QTest::newRow("interlace method 2") << pngSignature() + header("\x08\2\0\0\2") + idatEnd << false;
}

void TestWindowBehaviour::pictureHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, header);
    open(write(QStringLiteral("header.png"), file), !header);
    if (!header) {
        QCOMPARE(driver->seen().last().sText, NO_PICTURE_BOX);
        QVERIFY(picture().isNull());
    }
    QCOMPARE(labelText(), AT_REST);
}

void TestWindowBehaviour::editedSignaturesAreDiscarded()
{
    open(sGood);
    check();
    control<QPlainTextEdit>("mo_Czqm")->setPlainText(QStringLiteral("edited"));
    open(sGood);
    QVERIFY(czText().isEmpty());
    check();
    control<QPlainTextEdit>("mo_Dwqm")->setPlainText(QStringLiteral("edited"));
    open(sTampered);
    control<QPlainTextEdit>("mo_Dwqm")->setPlainText(QStringLiteral("edited"));
    check();
    QVERIFY(czText().isEmpty() && dwText().isEmpty());
}

void TestWindowBehaviour::lineBreaksInSignatures()
{
    open(sLineBreaks);
    check();
    auto *memo = control<QPlainTextEdit>("mo_Czqm");
    QCOMPARE(memo->blockCount(), 4);
    QCOMPARE(memo->toPlainText(), QStringLiteral("c1\nc2\nc3\nc4"));
}

void TestWindowBehaviour::fileNameShownAsItIs()
{
    const QString sName = QStringLiteral("a&b <b>x.png");
    open(write(sName, goodVoucher()));
    check();
    QCOMPARE(labelText(), passedText(sName));
    QCOMPARE(control<QLabel>("lbl_CheckResult")->textFormat(), Qt::PlainText);
}

void TestWindowBehaviour::openDialog()
{
    open(sGood);
    const SeenModal first = driver->seen().value(0);
    QCOMPARE(first.sKind, QStringLiteral("dialog"));
    QCOMPARE(first.pParent, form.get());
    const QStringList expected = {
        QStringLiteral("All (*.png *.bmp *.jpg *.jpeg *.gif *.png *.ico *.emf *.wmf *.tif *.tiff)"),
        QStringLiteral("Portable Network Graphics (*.png)"), QStringLiteral("Bitmaps (*.bmp)"),
        QStringLiteral("JPEG Images (*.jpg)"), QStringLiteral("JPEG Images (*.jpeg)"), QStringLiteral("GIF Images (*.gif)"),
        QStringLiteral("PNG Images (*.png)"), QStringLiteral("Icons (*.ico)"), QStringLiteral("Enhanced Metafiles (*.emf)"),
        QStringLiteral("Metafiles (*.wmf)"), QStringLiteral("TIFF Images (*.tif)"), QStringLiteral("TIFF Images (*.tiff)")};
    QCOMPARE(first.nameFilters, expected);
    QCOMPARE(first.sSelectedFilter, expected.first());
    QVERIFY(form->findChild<QFileDialog *>(QStringLiteral("OpenPictureDialog1")));

    open(sPlain);
    const SeenModal second = driver->seen().value(1);
    QCOMPARE(second.selectedFiles, QStringList{sGood}); // the last chosen path is offered
    QCOMPARE(second.sSelectedFilter, expected.first());
}

void TestWindowBehaviour::toolkitSpeaksChinese()
{
    open(sGood);
    check();
    const auto isChinese = [](const QString &sWord) {
        return std::any_of(sWord.begin(), sWord.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
    };
    for (const SeenModal &m : driver->seen()) {
        QVERIFY2(!m.words.isEmpty(), qPrintable(m.sKind));
        for (const QString &sWord : m.words)
            QVERIFY2(isChinese(sWord), qPrintable(m.sKind + u' ' + sWord));
    }
    QVERIFY(driver->seen().value(1).words.contains(QString::fromUtf8("确定")));
}

void TestWindowBehaviour::typedPathLosesNoClick()
{
    driver->typeFile(sGood);
    click("btn_OpenFile");
    verifyAnswered();
    // A completion list left open over the window would take the next click.
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    check();
    QCOMPARE(driver->seen().last().sText, QString::fromUtf8("校验通过！"));
}

void TestWindowBehaviour::formatIsAlwaysPng_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("shown");
    QTest::newRow("PNG named .jpg") << sPngNamedJpg << true;
    QTest::newRow("JPEG named .png") << sJpegNamedPng << false;
}

void TestWindowBehaviour::formatIsAlwaysPng()
{
    QFETCH(QString, file);
    QFETCH(bool, shown);
    open(file, !shown);
    QCOMPARE(!picture().isNull(), shown);
}

void TestWindowBehaviour::droppedFileIsOpened()
{
    drop(sGood);
    QCOMPARE(picture().size(), QSize(IMAGE_WIDTH, IMAGE_HEIGHT));
    check();
    QCOMPARE(labelText(), passedText(QStringLiteral("good.png")));
    drop(sPlain);
    QCOMPARE(labelText(), AT_REST);
    check();
    QCOMPARE(labelText(), failedText(QStringLiteral("plain.png")));
}

void TestWindowBehaviour::pngSuiteOpens()
{
    const std::vector<std::filesystem::path> files = lumbrik::fixtures::pngSuiteFiles();
    if (files.empty())
        QSKIP("PngSuite is not beside this checkout");
    for (const std::filesystem::path &file : files) {
        const QString sName = QString::fromStdString(file.filename().string());
        const bool bHeader = std::find(std::begin(PNGSUITE_WITHOUT_HEADER), std::end(PNGSUITE_WITHOUT_HEADER),
                                       file.filename().string()) == std::end(PNGSUITE_WITHOUT_HEADER);
        const qsizetype iSeen = driver->seen().size();
        if (!bHeader)
            driver->acknowledgeBox();
        drop(QString::fromStdString(file.string()));
        const QList<SeenModal> seen = driver->seen().mid(iSeen);
        const bool bBox = seen.size() == 1 && seen.first().sText == NO_PICTURE_BOX;
        QVERIFY2(bBox == !bHeader && driver->allAnswered(), qPrintable(sName));
        if (!seen.isEmpty() && !bBox)
            QFAIL(qPrintable(sName + u' ' + seen.first().sKind + u' ' + seen.first().sText));
        if (!bHeader)
            QVERIFY2(picture().isNull(), qPrintable(sName));
        check();
        QVERIFY2(driver->seen().last().sText == FAILED_BOX, qPrintable(sName));
    }
}

void TestWindowBehaviour::hostileFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("header");
    const QDir seeds(QStringLiteral(LUMBRIK_FUZZ_SEEDS));
    const QStringList noHeader = {QStringLiteral("not-png.png"), QStringLiteral("wrong-crc.png")};
    for (const QString &sName : seeds.entryList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(sName)) << seeds.filePath(sName) << !noHeader.contains(sName);
    QTest::newRow("IDAT claims 2 GiB") << write(QStringLiteral("claims.png"),
                                              pngSignature() + ihdr() + chunkHeader("IDAT", 0x7FFFFFFFu) + IMAGE_DATA)
                                       << true;
}

void TestWindowBehaviour::hostileFiles()
{
    QFETCH(QString, file);
    QFETCH(bool, header);
    if (!header)
        driver->acknowledgeBox();
    drop(file);
    verifyAnswered();
    check();
    const QString sVerdict = driver->seen().last().sText;
    QVERIFY(sVerdict == FAILED_BOX || sVerdict == QString::fromUtf8("校验通过！"));
}

void TestWindowBehaviour::hugePictureIsRefusedButChecked()
{
    // The header claims 100000 x 100000 pixels: decoding would need 30 GB.
    open(write(QStringLiteral("huge.png"),
               pngSignature() + ihdr(100000, 100000) + chunk("IDAT", IMAGE_DATA)
                   + chunk("IEND", payload(QLatin1String(IMAGE_SEAL), voucherXml(QStringLiteral("C"), QStringLiteral("D"))))));
    QVERIFY(picture().isNull());
    check();
    QCOMPARE(driver->seen().last().sText, QString::fromUtf8("校验通过！"));
    QCOMPARE(czText(), QStringLiteral("C"));
}

void TestWindowBehaviour::closeButtonClosesTheWindow()
{
    click("btn_Close");
    QVERIFY(!form->isVisible());
}

void TestWindowBehaviour::keyPressesTheFocusedButton_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    QTest::newRow("space") << int(Qt::Key_Space) << int(Qt::NoModifier);
}

void TestWindowBehaviour::keyPressesTheFocusedButton()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    const auto press = [&](const char *sButton) {
        QWidget *button = control(sButton);
        button->setFocus();
        QTest::keyClick(button, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    };
    driver->cancelDialog();
    press("btn_OpenFile");
    verifyAnswered();
    QCOMPARE(driver->seen().value(0).sKind, QStringLiteral("dialog"));
    driver->acknowledgeBox();
    press("btn_CheckVoucher");
    verifyAnswered();
    QCOMPARE(driver->seen().value(1).sText, QString::fromUtf8("请先打开票据文件！"));
    press("btn_Close");
    QVERIFY(!form->isVisible());
}

void TestWindowBehaviour::cutVerdictCanBeRead()
{
    const QString sName = QString::fromUtf8("北京市非税收入统一票据（电子）_11010124_0000318766.png");
    open(write(sName, goodVoucher()));
    check();
    auto *label = control<QLabel>("lbl_CheckResult");
    const QString sVerdict = passedText(sName);
    QCOMPARE(labelText(), sVerdict);
    QCOMPARE(label->size(), QSize(236, 34));
    QCOMPARE(label->toolTip(), sVerdict);
    QVERIFY(!(label->focusPolicy() & Qt::TabFocus)); // the tab order stays as it was
    label->setSelection(0, int(sVerdict.size()));
    label->setFocus();
    QTest::keySequence(label, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), sVerdict);
    // The tip follows the label back to rest.
    open(sPlain);
    QCOMPARE(label->toolTip(), AT_REST);
}

void TestWindowBehaviour::unreadableFileIsNotJudged_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("asNobody");
    QTest::addColumn<QString>("openBox");
    QTest::addColumn<QString>("checkBox");
    const QString sNoRights = dir.filePath(QStringLiteral("locked.png"));
    QTest::newRow("a folder") << dir.path() << false
                              << QString::fromUtf8("图片加载失败，错误信息：所选的不是文件。")
                              << QString::fromUtf8("指定票据文件不存在！");
    QTest::newRow("no permission to read") << sNoRights << true
                                           << QString::fromUtf8("图片加载失败，错误信息：无权读取票据文件。")
                                           << QString::fromUtf8("无权读取票据文件，无法校验！");
}

void TestWindowBehaviour::unreadableFileIsNotJudged()
{
    QFETCH(QString, file);
    QFETCH(bool, asNobody);
    QFETCH(QString, openBox);
    QFETCH(QString, checkBox);
    if (asNobody) {
        if (geteuid() != 0)
            QSKIP("needs root to read as another user");
        // The folder may be searched, the file not read.
        writeFixture(dir.path(), QFileInfo(file).fileName(), goodVoucher());
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    }
    const auto act = [&](auto step) {
        if (asNobody)
            ::asNobody(step);
        else
            step();
    };
    // A verdict shown before must not stay beside a file that could not be read.
    open(sGood);
    check();
    driver->acknowledgeBox();
    act([&] { drop(file); });
    verifyAnswered();
    SeenModal box = driver->seen().last();
    QCOMPARE(box.sTitle, QString::fromUtf8("出错啦"));
    QCOMPARE(box.sText, openBox);
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY(picture().isNull());
    QCOMPARE(snapshot(), AT_REST + QStringLiteral("||"));

    act([&] { check(); });
    box = driver->seen().last();
    QCOMPARE(box.sTitle, QString::fromUtf8("提示"));
    QCOMPARE(box.sText, checkBox);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.pParent, form.get());
    QCOMPARE(snapshot(), AT_REST + QStringLiteral("||"));
    QCOMPARE(labelColour(), BLUE);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
}

void TestWindowBehaviour::replacedFileIsShownAsChecked_data()
{
    QTest::addColumn<QByteArray>("opened");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<QSize>("checkedSize");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<QString>("signatures");
    const QSize first(IMAGE_WIDTH, IMAGE_HEIGHT), second(OTHER_IMAGE_SIZE, OTHER_IMAGE_SIZE);
    const QByteArray otherTampered = otherVoucher(QLatin1String(IMAGE_SEAL));
    QTest::newRow("intact, then another picture with a wrong seal")
        << goodVoucher() << otherTampered << second << false << QStringLiteral("||");
    QTest::newRow("tampered, then another picture, intact")
        << otherTampered << goodVoucher() << first << true << QStringLiteral("|CZ-SIG|DW-SIG");
    QTest::newRow("intact, then another intact picture")
        << goodVoucher() << otherVoucher() << second << true << QStringLiteral("|CZ-2|DW-2");
    QTest::newRow("intact, then no picture at all")
        << goodVoucher() << "just some text, no picture\n"_qba << QSize() << false << QStringLiteral("||");
}

void TestWindowBehaviour::replacedFileIsShownAsChecked()
{
    QFETCH(QByteArray, opened);
    QFETCH(QByteArray, replacement);
    QFETCH(QSize, checkedSize);
    QFETCH(bool, intact);
    QFETCH(QString, signatures);
    const QString sPath = write(QStringLiteral("replaced.png"), opened);
    open(sPath);
    // Replaced as a download or a copy replaces it: a new file under the old name.
    const QString sNew = write(QStringLiteral("replacement.png"), replacement);
    QFile::remove(sPath);
    QVERIFY(QFile::rename(sNew, sPath));
    check();
    const QString sName = QStringLiteral("replaced.png");
    QCOMPARE(picture().isNull() ? QSize() : picture().size(), checkedSize);
    QCOMPARE(snapshot(), (intact ? passedText(sName) : failedText(sName)) + signatures);
    QCOMPARE(driver->seen().size(), 2); // the dialog and the verdict's box, nothing more
}

void TestWindowBehaviour::escapeInATextBoxDoesNothing_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("box");
    QTest::newRow("财政签名") << 0 << QStringLiteral("mo_Czqm");
    QTest::newRow("单位签名") << 1 << QStringLiteral("mo_Dwqm");
}

void TestWindowBehaviour::escapeInATextBoxDoesNothing()
{
    QFETCH(int, page);
    QFETCH(QString, box);
    open(sGood);
    check();
    control<QTabWidget>("PageControl1")->setCurrentIndex(page);
    auto *memo = form->findChild<QPlainTextEdit *>(box);
    memo->setFocus();
    const QString sBefore = snapshot();
    QTest::keyClick(memo, Qt::Key_Escape);
    QVERIFY(form->isVisible());
    QVERIFY(memo->isVisible());
    QCOMPARE(control<QTabWidget>("PageControl1")->currentIndex(), page);
    QCOMPARE(form->focusWidget(), memo);
    QCOMPARE(snapshot(), sBefore);
}

QTEST_MAIN(TestWindowBehaviour)
#include "tst_WindowBehaviour.moc"
