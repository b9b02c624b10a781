#include "help/frm_help.h"

#include "help/help_page_accessible.h"
#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "platform/files.h"
#include "platform/twips.h"
#include "platform/widgets/outer_size.h"
#include "platform/widgets/program_icon.h"

#include <QEvent>
#include <QKeySequence>
#include <QPalette>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

namespace quillfen {
namespace {

constexpr DesignFrame kDesignFrame{120, 405};
constexpr float kMinimumWidth = 2500;
constexpr float kMinimumHeight = 2400;

} // namespace

frmHelp::frmHelp(const QString& programDir)
    : QWidget(nullptr), m_programDir(programDir.isEmpty() ? languageDirectory() : programDir)
{
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quillfen"));
    // A window of its own, without an owner: it does not take the main window's icon.
    setWindowIcon(programIcon());
    m_browserHelp = new QTextBrowser(this);
    m_browserHelp->setObjectName(QStringLiteral("browserHelp"));
    m_browserHelp->setOpenExternalLinks(true);
    // A caret, so that a screen reader walks the page line by line rather than reading it in one go.
    m_browserHelp->setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
    exposeAsDocument(m_browserHelp);
    colourThePage();
    setFocusProxy(m_browserHelp);
    connect(m_browserHelp, &QTextBrowser::sourceChanged, this, [this] { nameAfterThePage(); });
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    resize(pixelsFromTwips(9405), pixelsFromTwips(8040));
    setMinimumSize(minimumPixels(kMinimumWidth, kMinimumHeight, kDesignFrame));
    registerOpenForm({objectName(), this, [this] { frmHelp_Auto_Init(); }, [this] { SetFormFonts(this); },
                      [this] { RefreshControls(this); }});
}

void frmHelp::frmHelp_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_PRODUCT_NAME));
}

void frmHelp::Form_Load()
{
    frmHelp_Auto_Init();
    const QString code = GetLanguageCode(CurrentLCID()).trimmed();
    const QString base = m_programDir + QLatin1Char('/') + executableName();
    const QString page = base + QLatin1Char('_') + code + QStringLiteral(".htm");
    // The language page goes as a plain path, the fallback as a URL, whether or not it exists.
    if (FileExists(page))
        Navigate(page);
    else
        Navigate(QStringLiteral("file://") + base + QStringLiteral(".htm"));
}

void frmHelp::nameAfterThePage()
{
    const QString title = m_browserHelp->documentTitle();
    setAccessibleName(title.isEmpty() ? windowTitle() : title);
    m_browserHelp->setAccessibleName(accessibleName());
}

// The shared style sheet keeps to fonts and spacing: colours of its own would fight a dark or
// high-contrast palette, so shading and table lines come from the palette here.
void frmHelp::colourThePage()
{
    const QPalette& p = palette();
    m_browserHelp->document()->setDefaultStyleSheet(
        QStringLiteral("table { border-color: %1; } code, pre, th, .note { background-color: %2; }")
            .arg(p.color(QPalette::Text).name(), p.color(QPalette::AlternateBase).name()));
}

void frmHelp::Navigate(const QString& target)
{
    m_navigatedTo = target;
    // A path may hold '#', '?' or '%': it goes to the browser as a file, not parsed as a URL.
    const QString file = target.startsWith(QLatin1String("file://")) ? target.mid(7) : target;
    m_browserHelp->setSource(QUrl::fromLocalFile(file));
}

float frmHelp::Width() const
{
    return outerWidth(*this, kDesignFrame);
}

float frmHelp::Height() const
{
    return outerHeight(*this, kDesignFrame);
}

void frmHelp::setWidth(float t)
{
    setOuterWidth(*this, t, kDesignFrame);
}

void frmHelp::setHeight(float t)
{
    setOuterHeight(*this, t, kDesignFrame);
}

void frmHelp::Form_Resize()
{
    if (isMinimized())
        return;
    if (Width() < kMinimumWidth)
        setWidth(kMinimumWidth);
    if (Height() < kMinimumHeight)
        setHeight(kMinimumHeight);
    m_browserHelp->setGeometry(pixelsFromTwips(100), pixelsFromTwips(1), pixelsFromTwips(Width() - 200),
                               pixelsFromTwips(Height() - 400));
}

void frmHelp::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmHelp::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The style sheet takes effect as a page is read: read it again in the new colours.
    if (event->type() == QEvent::PaletteChange) {
        colourThePage();
        if (!m_navigatedTo.isEmpty())
            m_browserHelp->reload();
    }
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible())
        Form_Resize();
}

} // namespace quillfen
