#include "localization/widgets/fonts.h"

#include "localization/mod_localize.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTextBrowser>
#include <QWidget>

namespace quillfen {
namespace {

struct LanguageFont
{
    std::int32_t lcid;
    int charset;
    const char16_t* face;
};

constexpr LanguageFont kLanguageFonts[] = {
    {1041, 128, u"\uFF2D\uFF33 \uFF30\u30B4\u30B7\u30C3\u30AF"}, // SHIFTJIS_CHARSET
    {1042, 129, u"\uAD74\uB9BC"},                                // HANGUL_CHARSET
    {1028, 136, u"\u65B0\u7D30\u660E\u9AD4"},                    // CHINESEBIG5_CHARSET
    {2052, 134, u"\u5B8B\u4F53"},                                // GB2312_CHARSET
};

const char* const kCharsetProperty = "charset";

bool hasNoFontOfItsOwn(const QWidget* w)
{
    return qobject_cast<const QMenu*>(w) || qobject_cast<const QMenuBar*>(w) ||
           qobject_cast<const QTextBrowser*>(w) || qobject_cast<const QDialog*>(w);
}

} // namespace

void SetFontForLanguage(ControlFont& font)
{
    int charset = 1;
    QString face;
    for (const LanguageFont& f : kLanguageFonts) {
        if (f.lcid == CurrentLCID()) {
            charset = f.charset;
            face = QString::fromUtf16(f.face);
        }
    }
    font.charset = charset;
    if (face.isEmpty())
        face = QApplication::font().family();
    font.font.setFamilies({face});
}

void SetFormFonts(QWidget* form)
{
    if (!form)
        return;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || hasNoFontOfItsOwn(control))
            continue;
        ControlFont f{control->font(), controlCharset(control)};
        SetFontForLanguage(f);
        control->setFont(f.font);
        control->setProperty(kCharsetProperty, f.charset);
    }
}

void RefreshControls(QWidget* form)
{
    if (!form)
        return;
    for (QWidget* control : form->findChildren<QWidget*>())
        if (!control->objectName().isEmpty())
            control->repaint();
}

int controlCharset(const QWidget* control)
{
    const QVariant v = control->property(kCharsetProperty);
    return v.isValid() ? v.toInt() : 1;
}

} // namespace quillfen
