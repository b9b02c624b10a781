#include "about/frm_about.h"

#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "platform/app_error.h"
#include "platform/messages.h"
#include "platform/twips.h"
#include "platform/widgets/focus_ring.h"
#include "version.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QPushButton>
#include <QStyle>

static void initLogoResources()
{
    Q_INIT_RESOURCE(logos);
}

namespace quillfen {
namespace {

QFont labelFont(bool bold, bool underline)
{
    QFont f = designedFont();
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

// The number a tag starts with, after leading blanks; an error when there is none or it is too big.
std::int32_t leadingNumber(const QString& tag)
{
    const QString t = tag.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == QLatin1Char('-') || t[end] == QLatin1Char('+')))
        ++end;
    while (end < t.size() && t[end].isDigit())
        ++end;
    bool ok = false;
    const qlonglong value = t.left(end).toLongLong(&ok);
    if (!ok)
        throw AppError::make(AppError::TypeMismatch, tag);
    if (value < INT32_MIN || value > INT32_MAX)
        throw AppError::make(AppError::Overflow, tag);
    return std::int32_t(value);
}

} // namespace

namespace {

// A screen reader is told what the label is: a button that opens a menu, which its action opens.
class MenuButtonAccessible final : public QAccessibleWidget
{
public:
    explicit MenuButtonAccessible(ClickableLabel* label) : QAccessibleWidget(label, QAccessible::ButtonMenu)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return label()->accessibleName().isEmpty() ? label()->text() : label()->accessibleName();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.hasPopup = true;
        return s;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            label()->clickAsKeyboard();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    ClickableLabel* label() const { return static_cast<ClickableLabel*>(widget()); }
};

QAccessibleInterface* menuButtonFactory(const QString&, QObject* object)
{
    auto* label = qobject_cast<ClickableLabel*>(object);
    return label ? new MenuButtonAccessible(label) : nullptr;
}

} // namespace

ClickableLabel::ClickableLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(menuButtonFactory);
        return true;
    }();
    (void)installed;
    setFocusPolicy(Qt::StrongFocus);
}

void ClickableLabel::clickAsKeyboard()
{
    m_byKeyboard = true;
    emit clicked();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        m_byKeyboard = false;
        emit clicked();
    }
}

void ClickableLabel::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        clickAsKeyboard();
        event->accept();
        break;
    default:
        QLabel::keyPressEvent(event);
    }
}

void ClickableLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // A label draws no focus of its own; this one takes it, so it must show it, plainly and from the
    // start: a frame in the palette's highlight colour round the caption, whatever the theme.
    const QRect caption = contentsRect().intersected(
        QRect(contentsRect().topLeft(), fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(2, 0)));
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.drawRect(caption.adjusted(0, 0, -1, -1));
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    initLogoResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Quillfen"));
    setModal(true);
    setFixedSize(pixelsFromTwips(6090), pixelsFromTwips(3285));
    // Labels draw no box of their own: they show the window's background colour.
    setAutoFillBackground(true);
    // The notices are long for their labels; the design's small font keeps them readable.
    setFont(labelFont(false, false));

    auto label = [this](const char* name, QRect where, const QString& text = {}) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(where);
        return l;
    };
    m_picOrrinLogo = label("picOrrinLogo", pixelRect(180, 60, 2190, 870));
    m_picOrrinLogo->setPixmap(QPixmap(QStringLiteral(":/logos/orrin_logo.png")));
    m_picOrrinLogo->setAccessibleName(QStringLiteral("Orrin"));
    QLabel* title = label("lblVersionTitle", pixelRect(3240, 300, 975, 195), QStringLiteral("Version:"));
    title->setProperty("index", 1);
    title->setAlignment(Qt::AlignRight | Qt::AlignTop);
    title->setFont(labelFont(true, false));
    m_lblVersionTitle[1] = title;
    m_lblVersion = label("lblVersion", pixelRect(4260, 300, 1755, 255));
    m_lblCopyright = label("lblCopyright", pixelRect(180, 1140, 5835, 195));
    m_lblTrademark = label("lblTrademark", pixelRect(180, 1500, 5835, 195));
    m_lblChangeLanguage = new ClickableLabel(QStringLiteral("Change Language"), this);
    m_lblChangeLanguage->setObjectName(QStringLiteral("lblChangeLanguage"));
    m_lblChangeLanguage->setGeometry(pixelRect(180, 1860, 2895, 195));
    m_lblChangeLanguage->setFont(labelFont(false, true));
    // The link colour of whatever palette is in force: blue by default, readable on a dark theme.
    m_lblChangeLanguage->setForegroundRole(QPalette::Link);
    m_lblChangeLanguage->setCursor(Qt::PointingHandCursor);
    m_picVeltraneLogo = label("picVeltraneLogo", pixelRect(60, 2280, 1560, 930));
    m_picVeltraneLogo->setPixmap(QPixmap(QStringLiteral(":/logos/veltrane_logo.png")));
    m_picVeltraneLogo->setAccessibleName(QStringLiteral("Veltrane"));
    m_lblVeltraneAddress1 = label("lblVeltraneAddress1", pixelRect(1680, 2460, 2835, 195));
    m_lblVeltraneAddress2 = label("lblVeltraneAddress2", pixelRect(1680, 2700, 2835, 195));
    m_lblVeltraneAddress3 = label("lblVeltraneAddress3", pixelRect(1680, 2940, 2835, 195));
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setGeometry(pixelRect(4680, 2760, 1275, 375));
    m_cmdOK->setDefault(true);
    showFocusRing(m_cmdOK);

    m_mnuSelectLanguage = new QMenu(QStringLiteral("Select Language"), this);
    m_mnuSelectLanguage->setObjectName(QStringLiteral("mnuSelectLanguage"));
    QAction* first = m_mnuSelectLanguage->addAction(QStringLiteral("LanguageList"));
    first->setObjectName(QStringLiteral("mnuLanguageList"));
    first->setProperty("index", 0);
    connect(first, &QAction::triggered, this, [this] { mnuLanguageList_Click(0); });
    m_mnuLanguageList.push_back(first);
    connect(m_mnuSelectLanguage, &QMenu::aboutToShow, this, [this] { markCurrentLanguage(); });

    connect(m_cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(m_lblChangeLanguage, &ClickableLabel::clicked, this, [this] { lblChangeLanguage_Click(); });
    registerOpenForm({objectName(), this, [this] { frmAbout_Auto_Init(); },
                      [this] {
                          SetFormFonts(this);
                          FitCaptionFonts(this);
                      },
                      [this] { RefreshControls(this); }});
}

void frmAbout::frmAbout_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_PRODUCT_NAME));
    m_cmdOK->setText(myLoadResString(IDS_OK));
    m_lblVeltraneAddress2->setText(myLoadResString(IDS_COMPANY_CITY));
    m_lblVeltraneAddress3->setText(myLoadResString(IDS_COMPANY_COUNTRY));
    m_lblChangeLanguage->setText(myLoadResString(IDS_CHANGE_LANGUAGE));
    m_lblTrademark->setText(myLoadResString(IDS_TRADEMARKS));
    m_lblCopyright->setText(myLoadResString(IDS_COPYRIGHT));
    m_lblVeltraneAddress1->setText(myLoadResString(IDS_COMPANY_NAME));
    m_lblVersionTitle.at(1)->setText(myLoadResString(IDS_VERSION_TITLE));
    m_mnuSelectLanguage->setTitle(myLoadResString(IDS_SELECT_LANGUAGE));
    FitCaptionFonts(this);
}

void frmAbout::Form_Load()
{
    frmAbout_Auto_Init();
    const auto report = [](const AppError& e) {
        messages().show(myLoadResString(IDS_ABOUT_LOAD_ERROR) + e.description, MessageButtons::Ok, {});
    };
    reportAndContinue(
        [this] {
            m_lblVersion->setText(QLatin1Char(' ') + QString::number(version::kMajor) +
                                  myLoadResString(IDS_VERSION_SEPARATOR) + QString::number(version::kMinor) +
                                  myLoadResString(IDS_BUILD) + QLatin1Char(' ') +
                                  QString::number(version::kRevision));
        },
        report);
    reportAndContinue([] { InitalizeLanguages(); }, report);
    reportAndContinue(
        [this] {
            const QStringList& languages = LoadedLanguages();
            if (languages.size() - 1 <= 0) {
                m_mnuLanguageList[0]->setText(myLoadResString(IDS_NO_LOADED_LANGUAGES));
                m_mnuLanguageList[0]->setData(QStringLiteral("1033"));
                return;
            }
            for (int i = 0; i < languages.size(); ++i) {
                if (i > 0 && i >= int(m_mnuLanguageList.size())) {
                    QAction* item = m_mnuSelectLanguage->addAction(QString());
                    item->setObjectName(QStringLiteral("mnuLanguageList"));
                    item->setProperty("index", i);
                    connect(item, &QAction::triggered, this, [this, i] { mnuLanguageList_Click(i); });
                    m_mnuLanguageList.push_back(item);
                }
                m_mnuLanguageList[i]->setText(GetLanguageNameFromCode(languages[i]));
                m_mnuLanguageList[i]->setData(QString::number(GetLCIDFromCode(languages[i])));
            }
        },
        report);
    FitCaptionFonts(this);
    m_loaded = true;
}

void frmAbout::showModally()
{
    if (!m_loaded)
        Form_Load();
    exec();
}

void frmAbout::lblChangeLanguage_Click()
{
    // From the keyboard the mouse may be anywhere: the menu opens below the label instead.
    m_mnuSelectLanguage->popup(
        m_lblChangeLanguage->clickedByKeyboard()
            ? m_lblChangeLanguage->mapToGlobal(m_lblChangeLanguage->rect().bottomLeft())
            : QCursor::pos());
}

void frmAbout::markCurrentLanguage()
{
    // "No loaded languages" is not a language to mark.
    const bool languages = LoadedLanguages().size() > 1;
    const QString current = QString::number(CurrentLCID());
    bool marked = false;
    for (QAction* item : m_mnuLanguageList) {
        const bool isCurrent = languages && !marked && item->data().toString() == current;
        item->setCheckable(languages);
        item->setChecked(isCurrent);
        marked = marked || isCurrent;
    }
}

void frmAbout::mnuLanguageList_Click(int index)
{
    setCursor(Qt::WaitCursor);
    try {
        SwitchLanguage(leadingNumber(mnuLanguageList(index)->data().toString()));
    } catch (...) {
        // A choice that cannot be read switches nothing, without a word.
    }
    unsetCursor();
}

void frmAbout::cmdOK_Click()
{
    hide();
}

void frmAbout::closeEvent(QCloseEvent* event)
{
    // Closed by the window system rather than by OK: unloaded, so the next About loads anew.
    event->accept();
    deleteLater();
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Styles draw a button's focus only after a keyboard move, and showing a window forgets any:
    // OK, which holds the focus when the box opens, must show it before the first Tab.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

QLabel* frmAbout::lblVersionTitle(int index) const
{
    const auto it = m_lblVersionTitle.find(index);
    return it == m_lblVersionTitle.end() ? nullptr : it->second;
}

QAction* frmAbout::mnuLanguageList(int index) const
{
    if (index < 0 || index >= int(m_mnuLanguageList.size()))
        throw AppError::make(AppError::InvalidProcedureCall,
                             QStringLiteral("no language item %1").arg(index));
    return m_mnuLanguageList[size_t(index)];
}

} // namespace quillfen
