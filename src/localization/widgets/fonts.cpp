#include "localization/widgets/fonts.h"

#include "localization/mod_localize.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTextBrowser>
#include <QWidget>

#include <algorithm>

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

QFont designedFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(kDesignedPointSize);
    return font;
}

QString shownCaption(const QWidget* control)
{
    QString text;
    if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        text = button->text();
    else if (const auto* frame = qobject_cast<const QGroupBox*>(control))
        text = frame->title();
    else if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->text(); // a label without a buddy shows "&" as it is
    // "&&" shows as "&"; any other "&" marks the next letter as the mnemonic and is not shown.
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && ++i == text.size())
            break;
        shown += text[i];
    }
    return shown;
}

qreal captionRoom(const QWidget* control)
{
    const QStyle* style = control->style();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        return style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        // The title starts where the style puts it and must end inside the frame's inner edge.
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.textAlignment = frame->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        option.lineWidth = 1;
        const QRect label =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        const QRect box =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, frame);
        const QRect inside =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, frame);
        return inside.right() - label.left() + 1 - (inside.left() - box.left());
    }
    if (const auto* label = qobject_cast<const QLabel*>(control))
        return label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0);
    return control->width();
}

void FitCaptionFonts(QWidget* form)
{
    if (!form)
        return;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        const QString caption = shownCaption(control);
        // A window the form owns (its About box) fits its own captions.
        if (caption.isEmpty() || control->objectName().isEmpty() || control->window() != form)
            continue;
        QFont font = control->font();
        for (qreal size = kDesignedPointSize;; size = std::max(size - 0.5, kSmallestPointSize)) {
            font.setPointSizeF(size);
            if (size == kSmallestPointSize ||
                QFontMetricsF(font).horizontalAdvance(caption) <= captionRoom(control))
                break;
        }
        if (font != control->font())
            control->setFont(font);
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
