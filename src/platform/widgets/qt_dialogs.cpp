#include "platform/widgets/qt_dialogs.h"

#include "platform/app_error.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quillfen {

QStringList filterSuffixes(const QString& filter)
{
    QStringList suffixes;
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return suffixes;
    for (const QString& pattern :
         filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (pattern.startsWith(QStringLiteral("*.")) && pattern.count(QLatin1Char('*')) == 1)
            suffixes << pattern.mid(2);
    }
    return suffixes;
}

std::unique_ptr<QMessageBox> makeMessageBox(const QString& text, MessageButtons buttons, const QString& title,
                                            QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::NoIcon, title.isEmpty() ? applicationTitle() : title, text,
        buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
        parent);
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

MessageResult QtMessages::show(const QString& text, MessageButtons buttons, const QString& title)
{
    const auto box = makeMessageBox(text, buttons, title, QApplication::activeWindow());
    return box->exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
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
    if (!request.filters.isEmpty()) {
        dialog.setNameFilters(request.filters);
        const auto suffixFor = [suffix](const QString& filter) {
            const QString first = filterSuffixes(filter).value(0);
            return first.isEmpty() || first.compare(suffix, Qt::CaseInsensitive) == 0 ? suffix : first;
        };
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, suffixFor](const QString& filter) { dialog.setDefaultSuffix(suffixFor(filter)); });
        if (!request.selectedFilter.isEmpty()) {
            dialog.selectNameFilter(request.selectedFilter);
            dialog.setDefaultSuffix(suffixFor(request.selectedFilter));
        }
    }
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
    if (request.folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilters(request.filters);
    }
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        throw cancelError();
    return dialog.selectedFiles();
}

} // namespace quillfen
