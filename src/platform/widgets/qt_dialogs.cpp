#include "platform/widgets/qt_dialogs.h"

#include "platform/app_error.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quillfen {

MessageResult QtMessages::show(const QString& text, MessageButtons buttons, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? applicationTitle() : title, text,
                    buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
}

QString QtSaveDialog::ShowSave(const SaveDialogRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    QString suffix = request.defaultExt;
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        throw cancelError();
    return dialog.selectedFiles().constFirst();
}

QStringList QtOpenDialog::ShowOpen(const OpenDialogRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(request.filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        throw cancelError();
    return dialog.selectedFiles();
}

} // namespace quillfen
