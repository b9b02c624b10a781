#include "platform/save_dialog.h"

namespace quillfen {
namespace {

class CancellingSaveDialog final : public SaveDialog
{
public:
    QString ShowSave(const SaveDialogRequest&) override { throw cancelError(); }
};

CancellingSaveDialog g_defaultDialog;
SaveDialog* g_dialog = nullptr;

} // namespace

SaveDialog& saveDialog()
{
    return g_dialog ? *g_dialog : g_defaultDialog;
}

void setSaveDialog(SaveDialog* dialog)
{
    g_dialog = dialog;
}

AppError cancelError()
{
    return AppError(kCancelErrorNumber, QStringLiteral("Cancel was selected."));
}

} // namespace quillfen
