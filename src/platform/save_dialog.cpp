#include "platform/save_dialog.h"

#include "platform/open_dialog.h"

namespace quillfen {
namespace {

class CancellingSaveDialog final : public SaveDialog
{
public:
    QString ShowSave(const SaveDialogRequest&) override { throw cancelError(); }
};

class CancellingOpenDialog final : public OpenDialog
{
public:
    QStringList ShowOpen(const OpenDialogRequest&) override { throw cancelError(); }
};

CancellingSaveDialog g_defaultDialog;
SaveDialog* g_dialog = nullptr;
CancellingOpenDialog g_defaultOpenDialog;
OpenDialog* g_openDialog = nullptr;

} // namespace

SaveDialog& saveDialog()
{
    return g_dialog ? *g_dialog : g_defaultDialog;
}

void setSaveDialog(SaveDialog* dialog)
{
    g_dialog = dialog;
}

OpenDialog& openDialog()
{
    return g_openDialog ? *g_openDialog : g_defaultOpenDialog;
}

void setOpenDialog(OpenDialog* dialog)
{
    g_openDialog = dialog;
}

AppError cancelError()
{
    return AppError(kCancelErrorNumber, QStringLiteral("Cancel was selected."));
}

} // namespace quillfen
