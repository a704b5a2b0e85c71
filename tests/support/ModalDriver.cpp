#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace lumbrik::testing {

ModalDriver::ModalDriver(std::function<QString()> snapshot) : snapshot(std::move(snapshot))
{
    connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
    timer.start(10);
}

void ModalDriver::chooseFile(const QString &sPath)
{
    plans << Plan{true, sPath};
}

void ModalDriver::typeFile(const QString &sPath)
{
    plans << Plan{true, sPath, false, true};
}

void ModalDriver::acknowledgeBox()
{
    plans << Plan{false, QString()};
}

void ModalDriver::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w || !w->isVisible())
        return;
    if (w != pCurrent)
        take(w);
    answer(w);
}

void ModalDriver::take(QWidget *w)
{
    pCurrent = w;
    // The window keeps its file dialog: the same one may come again on the next press.
    if (auto *d = qobject_cast<QDialog *>(w))
        connect(d, &QDialog::finished, this, [this] { pCurrent = nullptr; }, Qt::SingleShotConnection);

    SeenModal seen;
    seen.sTitle = w->windowTitle();
    seen.pParent = w->parentWidget();
    if (snapshot)
        seen.sSnapshot = snapshot();
    for (const QLabel *label : w->findChildren<QLabel *>())
        if (label->isVisible() && !label->text().isEmpty())
            seen.words << label->text();
    for (const QAbstractButton *button : w->findChildren<QAbstractButton *>())
        if (button->isVisible() && !button->text().isEmpty())
            seen.words << button->text();
    auto *box = qobject_cast<QMessageBox *>(w);
    auto *dialog = qobject_cast<QFileDialog *>(w);
    if (box) {
        seen.sKind = QStringLiteral("box");
        seen.sText = box->text();
        seen.icon = box->icon();
    } else if (dialog) {
        seen.sKind = QStringLiteral("dialog");
        seen.nameFilters = dialog->nameFilters();
        seen.sSelectedFilter = dialog->selectedNameFilter();
        seen.selectedFiles = dialog->selectedFiles();
    }
    const bool bPlanned = (box || dialog) && !plans.isEmpty() && plans.first().bDialog == bool(dialog);
    if (bPlanned) {
        current = plans.takeFirst();
    } else {
        seen.sKind = QStringLiteral("unexpected ") + seen.sKind;
        current = Plan{false, QString(), true};
    }
    seenModals << seen;
}

// Answers the current modal; called again while it stays open, since a file
// dialog may refuse an answer given before it has looked at its folder.
void ModalDriver::answer(QWidget *w)
{
    auto *box = qobject_cast<QMessageBox *>(w);
    auto *dialog = qobject_cast<QFileDialog *>(w);
    if (current.bReject || (dialog && current.sPath.isEmpty())) {
        QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    } else if (box) {
        box->button(QMessageBox::Ok)->click();
    } else if (dialog && current.bType) {
        type(dialog);
    } else if (dialog) {
        // The dialog leaves alone a file name field that has the focus.
        if (QWidget *focused = dialog->focusWidget())
            focused->clearFocus();
        dialog->selectFile(current.sPath);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    }
}

void ModalDriver::type(QFileDialog *dialog)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    if (!edit) {
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        return;
    }
    current.bType = false; // once: the keys below run while the dialog is open
    edit->setFocus();
    QTest::keyClicks(edit, current.sPath);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace lumbrik::testing
