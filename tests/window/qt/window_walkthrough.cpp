// Opens the voucher named on the command line through the real window's open
// dialog, checks it, answers every box, and exits: what an operator does, for
// tests that watch the whole program from outside.

#include "Unit1.h"
#include "support/ModalDriver.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: window_walkthrough VOUCHER\n", stderr);
        return 2;
    }
    lumbrik::TForm1 form;
    form.show();
    lumbrik::testing::ModalDriver driver;
    driver.chooseFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    for (int i = 0; i < 3; ++i) // the picture's box, if any, and the verdict's
        driver.acknowledgeBox();
    QTimer::singleShot(0, [&] {
        form.findChild<QPushButton *>(QStringLiteral("btn_OpenFile"))->click();
        form.findChild<QPushButton *>(QStringLiteral("btn_CheckVoucher"))->click();
        for (const auto &m : driver.seen()) std::printf("%s %s\n", qPrintable(m.sKind), qPrintable(m.sText));
        form.close();
    });
    return app.exec();
}
