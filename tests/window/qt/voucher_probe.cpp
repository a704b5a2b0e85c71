// Linked into the real program's entry for a test of `lumbrik FILE`: once the
// event loop runs, answers every box and writes what it said, presses 验证
// once no box is up, writes the box it gives and the verdict, and closes the
// window. The test matches the transcript on stdout.

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

bool bChecked = false;

const char *iconName(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Information: return "information";
    case QMessageBox::Warning: return "warning";
    case QMessageBox::Critical: return "critical";
    default: return "other";
    }
}

void step()
{
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        std::printf("box %s: %s [%s] %s\n", bChecked ? "at 验证" : "at start", iconName(box->icon()),
                    qPrintable(box->windowTitle()), qPrintable(box->text()));
        box->accept();
        return;
    }
    QWidget *form = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("TForm1") && w->isVisible())
            form = w;
    if (!form)
        return;
    if (!bChecked) {
        bChecked = true;
        // Queued, so that its box comes up in the event loop rather than in this step.
        QMetaObject::invokeMethod(form->findChild<QPushButton *>(QStringLiteral("btn_CheckVoucher")), "click",
                                  Qt::QueuedConnection);
        return;
    }
    std::printf("verdict: %s\n", qPrintable(form->findChild<QLabel *>(QStringLiteral("lbl_CheckResult"))->text()));
    std::fflush(stdout);
    form->close();
}

void startProbe()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, step);
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
