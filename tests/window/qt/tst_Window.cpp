// The main window's layout: every control in its place at its size, with its
// caption, font, colour and tab order; the splitter's resize and collapse rules.

#include "PaneSplitter.h"
#include "Unit1.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitterHandle>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

using namespace lumbrik;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void geometry_data();
    void geometry();
    void widerWindowWidensOnlyThePicture();
    void dragSplitter_data();
    void dragSplitter();
    void captionsAndFonts_data();
    void captionsAndFonts();
    void colours();
    void resultLabel();
    void textBoxes();
    void tabOrder();
    void textFitsItsControl();
    void iconFiles();
    void staysOnScreen();
    void songTiHasFixedPitchAscii();
    void focusIsMarked();

private:
    template <class T = QWidget>
    T *control(const char *sName) const
    {
        T *w = form->findChild<T *>(QLatin1String(sName));
        if (!w)
            qFatal("no control %s", sName);
        return w;
    }
    QRect inWindow(const QWidget *w) const { return QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()); }
    void drag(QWidget *handle, int iToX);

    std::unique_ptr<TForm1> form;
};

void TestWindow::init()
{
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestWindow::cleanup()
{
    form.reset();
}

void TestWindow::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect"); // in window coordinates
    auto row = [](const char *sName, int x, int y, int w, int h) {
        QTest::newRow(sName) << QString::fromLatin1(sName) << QRect(x, y, w, h);
    };
    row("Panel1", 0, 0, 1133, 43);
    row("btn_OpenFile", 17, 6, 100, 30);
    row("btn_CheckVoucher", 123, 7, 100, 30);
    row("btn_Close", 229, 6, 100, 30);
    row("Panel2", 0, 43, 877, 541);
    row("Image1", 1, 44, 875, 539);
    row("Panel3", 880, 43, 253, 541);
    row("Panel4", 881, 44, 251, 50);
    row("lbl_CheckResult", 886, 54, 236, 34);
    row("PageControl1", 881, 94, 251, 489);
    row("TabSheet1", 885, 118, 243, 461);
    row("mo_Czqm", 885, 118, 243, 461);
}

void TestWindow::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QCOMPARE(form->size(), QSize(1133, 584));
    QCOMPARE(inWindow(control(name.toLatin1())), rect);
}

void TestWindow::widerWindowWidensOnlyThePicture()
{
    // The splitter's border is the 3 pixels between the two panes.
    QCOMPARE(control<PaneSplitter>("Splitter1")->handleWidth(), 3);
    QCOMPARE(inWindow(control("Panel2")).right() + 1, 877);
    QCOMPARE(inWindow(control("Panel3")).left(), 880);
    form->resize(1400, 700);
    QTRY_COMPARE(control("Panel3")->width(), 253);
    QCOMPARE(inWindow(control("Panel2")), QRect(0, 43, 1144, 657));
    QCOMPARE(inWindow(control("Panel3")), QRect(1147, 43, 253, 657));
    form->resize(1000, 584);
    QTRY_COMPARE(control("Panel2")->width(), 744);
    QCOMPARE(control("Panel3")->width(), 253);
}

void TestWindow::dragSplitter_data()
{
    QTest::addColumn<int>("handleX"); // where the border's left edge is dropped, in window coordinates
    QTest::addColumn<int>("paneWidth");
    QTest::newRow("wider") << 600 << 530;
    QTest::newRow("narrower") << 1000 << 130;
    QTest::newRow("to 31 pixels") << 1099 << 31;
    QTest::newRow("to 30 pixels closes") << 1100 << 0;
    QTest::newRow("past the right edge closes") << 1300 << 0;
    QTest::newRow("to the left edge keeps 30 for the picture") << 0 << 1100;
}

void TestWindow::drag(QWidget *handle, int iToX)
{
    const QPoint grab = handle->rect().center();
    const QPoint drop = grab + QPoint(iToX - 877, 0);
    QTest::mousePress(handle, Qt::LeftButton, {}, grab);
    QTest::mouseMove(handle, drop);
    QCOMPARE(control("Panel3")->width(), 253); // the pane moves only on release
    QTest::mouseRelease(handle, Qt::LeftButton, {}, drop);
}

void TestWindow::dragSplitter()
{
    QFETCH(int, handleX);
    QFETCH(int, paneWidth);
    auto *splitter = control<PaneSplitter>("Splitter1");
    drag(splitter->handle(1), handleX);
    QCOMPARE(splitter->sizes(), (QList<int>{1130 - paneWidth, paneWidth}));
    QCOMPARE(control("Panel2")->width(), 1130 - paneWidth);
    QWidget *pane = control("Panel3");
    if (paneWidth > 0)
        QCOMPARE(pane->width(), paneWidth);
    else
        QVERIFY(!splitter->rect().intersects(pane->geometry())); // closed: out of sight
}

void TestWindow::captionsAndFonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    const QString songTi = QString::fromUtf8("宋体"), yaHei = QString::fromUtf8("微软雅黑");
    QTest::newRow("window") << QStringLiteral("TForm1") << QStringLiteral("Lumbrik") << songTi;
    QTest::newRow("open") << QStringLiteral("btn_OpenFile") << QString::fromUtf8("打开票据") << yaHei;
    QTest::newRow("check") << QStringLiteral("btn_CheckVoucher") << QString::fromUtf8("验    证") << yaHei;
    QTest::newRow("close") << QStringLiteral("btn_Close") << QString::fromUtf8("关    闭") << yaHei;
    QTest::newRow("label") << QStringLiteral("lbl_CheckResult") << QString::fromUtf8("查验结果：") << songTi;
}

void TestWindow::captionsAndFonts()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    QWidget *w = name == u"TForm1" ? form.get() : control(name.toLatin1());
    QString sCaption = w->windowTitle();
    if (auto *b = qobject_cast<QPushButton *>(w))
        sCaption = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        sCaption = l->text();
    QCOMPARE(sCaption, caption);
    QCOMPARE(w->font().family(), family);
    QCOMPARE(w->font().pixelSize(), 12);
    // A Chinese face stands in, so no character is drawn as a box.
    QVERIFY2(QFontMetrics(w->font()).inFont(QChar(0x9A8C)), qPrintable(QFontInfo(w->font()).family()));
}

void TestWindow::colours()
{
    auto fill = [this](const char *sName) {
        QWidget *w = control(sName);
        return w->autoFillBackground() ? w->backgroundRole() : QPalette::NoRole;
    };
    QCOMPARE(form->backgroundRole(), QPalette::Button);
    QCOMPARE(fill("Panel1"), QPalette::Base);
    QCOMPARE(fill("Panel2"), QPalette::Base);
    QCOMPARE(fill("Panel3"), QPalette::Button);
    QCOMPARE(fill("Panel4"), QPalette::Base);
    for (const char *sPanel : {"Panel1", "Panel2", "Panel3", "Panel4"}) {
        auto *panel = control<QFrame>(sPanel);
        QCOMPARE(panel->frameShadow(), QFrame::Raised);
        QCOMPARE(panel->frameWidth(), 1);
    }
    QCOMPARE(control("lbl_CheckResult")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    // And it is drawn so: the caption's darkest pixels are pure blue.
    const QImage drawn = control("lbl_CheckResult")->grab().toImage();
    bool bBlue = false;
    for (int y = 0; y < drawn.height() && !bBlue; ++y)
        for (int x = 0; x < drawn.width() && !bBlue; ++x)
            bBlue = drawn.pixelColor(x, y) == QColor(0, 0, 255);
    QVERIFY(bBlue);
}

void TestWindow::resultLabel()
{
    auto *label = control<QLabel>("lbl_CheckResult");
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->wordWrap());
    QCOMPARE(label->alignment() & (Qt::AlignTop | Qt::AlignLeft), Qt::AlignTop | Qt::AlignLeft);
    QVERIFY(!label->buddy());
    QVERIFY(control<QLabel>("Image1")->hasScaledContents());
    QVERIFY(!control<PaneSplitter>("Splitter1")->opaqueResize());
}

void TestWindow::textBoxes()
{
    auto *tabs = control<QTabWidget>("PageControl1");
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("TabSheet1"));
    QCOMPARE(tabs->tabText(0), QString::fromUtf8("财政签名"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("TabSheet2"));
    QCOMPARE(tabs->tabText(1), QString::fromUtf8("单位签名"));
    for (const char *sMemo : {"mo_Czqm", "mo_Dwqm"}) {
        auto *memo = control<QPlainTextEdit>(sMemo);
        QVERIFY(!memo->isReadOnly());
        QVERIFY(memo->toPlainText().isEmpty());
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(memo->maximumBlockCount(), 0);
    }
    tabs->setCurrentIndex(1);
    QTRY_COMPARE(inWindow(control("mo_Dwqm")), QRect(885, 118, 243, 461));
}

void TestWindow::tabOrder()
{
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    control("btn_OpenFile")->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *w = QApplication::focusWidget();
        order << (qobject_cast<QTabBar *>(w) ? w->parentWidget()->objectName() : w->objectName());
    }
    QCOMPARE(order, (QStringList{QStringLiteral("btn_CheckVoucher"), QStringLiteral("btn_Close"),
                                 QStringLiteral("PageControl1"), QStringLiteral("mo_Czqm")}));
}

void TestWindow::textFitsItsControl()
{
    for (const char *sButton : {"btn_OpenFile", "btn_CheckVoucher", "btn_Close"}) {
        auto *b = control<QPushButton>(sButton);
        QVERIFY(b->fontMetrics().horizontalAdvance(b->text()) < b->width() - 8);
        QVERIFY(b->fontMetrics().height() < b->height() - 4);
    }
    auto *tabs = control<QTabWidget>("PageControl1");
    for (int i = 0; i < tabs->count(); ++i) {
        const QRect tab = tabs->tabBar()->tabRect(i);
        QVERIFY(tabs->tabBar()->fontMetrics().horizontalAdvance(tabs->tabText(i)) < tab.width());
        QVERIFY(tabs->tabBar()->mapTo(form.get(), tab.bottomLeft()).y() < inWindow(control("TabSheet1")).y());
    }
    // Two lines of the result fit the label's height.
    QVERIFY(2 * control("lbl_CheckResult")->fontMetrics().height() <= 36);
}

void TestWindow::staysOnScreen()
{
    const QRect available = form->screen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    QVERIFY2(available.contains(frame), qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                                       .arg(frame.left()).arg(frame.top()).arg(frame.width()).arg(frame.height())));
    QVERIFY(qAbs(frame.center().x() - available.center().x()) <= 1);
    QVERIFY(qAbs(frame.center().y() - available.center().y()) <= 1);
    // What the window gives up for the screen comes out of the picture area.
    if (form->width() < 1133)
        QCOMPARE(control("Panel3")->width(), 253);
}

void TestWindow::songTiHasFixedPitchAscii()
{
    for (const char *sName : {"lbl_CheckResult", "mo_Czqm", "mo_Dwqm"}) {
        const QFontMetrics metrics(control(sName)->font());
        const int iHalf = metrics.horizontalAdvance(QChar(0x4E2D)) / 2; // 中
        QVERIFY(iHalf > 0);
        for (QChar c : QStringLiteral("0Oo1lIiWm+/="))
            QVERIFY2(metrics.horizontalAdvance(c) == iHalf,
                     qPrintable(QFontInfo(control(sName)->font()).family() + u' ' + c));
    }
}

void TestWindow::focusIsMarked()
{
    QApplication::setActiveWindow(form.get());
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    auto *button = control<QPushButton>("btn_CheckVoucher");
    control("btn_OpenFile")->setFocus();
    const QImage unfocused = button->grab().toImage();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button);
    QVERIFY(button->grab().toImage() != unfocused);
}

void TestWindow::iconFiles()
{
    const QImage png(QStringLiteral(LUMBRIK_APP_DIR "/Lumbrik.png"));
    QCOMPARE(png.size(), QSize(32, 32));
    QVERIFY(png.hasAlphaChannel());
    QCOMPARE(qAlpha(png.pixel(0, 0)), 0);

    // The .ico directory: one entry, 32 x 32, 32 bits per pixel.
    QFile ico(QStringLiteral(LUMBRIK_APP_DIR "/Lumbrik.ico"));
    QVERIFY(ico.open(QIODevice::ReadOnly));
    const QByteArray ab = ico.read(22);
    QCOMPARE(ab.left(6), QByteArray("\0\0\1\0\1\0", 6));
    QCOMPARE(uchar(ab[6]), uchar(32));
    QCOMPARE(uchar(ab[7]), uchar(32));
    QCOMPARE(uchar(ab[12]) | uchar(ab[13]) << 8, 32);
}

QTEST_MAIN(TestWindow)
#include "tst_Window.moc"
