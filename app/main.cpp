// Lumbrik: one window in which an operator checks a voucher's seal.

#include "Unit1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumbrik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumbrik"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/Lumbrik.png")));

    lumbrik::TForm1 Form1;
    Form1.show();
    return app.exec();
}
